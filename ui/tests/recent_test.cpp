// The recent configurations, the language switch, the help key and pages, the
// about box; and pictures of the window in English, of the menu with its
// recent entries and of the about box.
#include <QDesktopServices>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>
#include <memory>

#include "console/console.h"
#include "support.h"
#include "ui/aboutbox.h"
#include "ui/help.h"
#include "ui/lstconf.h"
#include "ui_aboutbox.h"

using namespace vantor;

// Receives the URLs the window hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class RecentTest : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir_;
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<ScriptedPrompter> prompter_;
    std::unique_ptr<TDial> dial_;
    Ui::TDial* f_ = nullptr;
    UrlCatcher urls_;

    // A bare window with the menu of the list: anchor, entries, "-", Quit.
    std::unique_ptr<QWidget> window_;
    QMenu* menu_ = nullptr;
    QAction* anchor_ = nullptr;

    QString Work(const QString& name) const { return work_->filePath(name); }
    static QSettings User() { return QSettings(QSettings::UserScope, "Belvane", "Lumenta"); }
    QSettings Store() const { return QSettings(work_->filePath("store.ini"), QSettings::IniFormat); }
    void Seed(const QVariantMap& values) {
        QSettings s = Store();
        s.clear();
        for (auto it = values.begin(); it != values.end(); ++it) s.setValue(it.key(), it.value());
    }
    // The list over the bare menu, loaded from the test's store.
    std::unique_ptr<TLstConf> Load(int capacity = 8) {
        window_ = std::make_unique<QWidget>();
        window_->setWindowTitle("Vantor");
        menu_ = new QMenu(window_.get());
        anchor_ = new QAction("-", window_.get());
        menu_->addAction(anchor_);
        menu_->addAction(new QAction("-", window_.get()));
        menu_->addAction(new QAction("&Quitter", window_.get()));
        QSettings s = Store();
        return std::make_unique<TLstConf>(anchor_, s, capacity, nullptr);
    }
    static QStringList Captions(const TLstConf& list) {
        QStringList c;
        for (const QAction* a : list.Entries()) c << a->text();
        return c;
    }
    static QStringList Paths(const QString& prefix, int from, int to) {
        QStringList p;
        for (int i = from; i <= to; ++i) p << prefix + QString::number(i);
        return p;
    }
    static QVariantMap Stored(const QStringList& entries, QVariant count) {
        QVariantMap m{{"TailleHistorique", count}};
        for (int i = 0; i < entries.size(); ++i) m[QString("Emplacement%1").arg(i)] = entries[i];
        return m;
    }
    void ExpectLoaded(const QVariantMap& stored, const QStringList& expected) {
        Seed(stored);
        QCOMPARE(Captions(*Load()), expected);
    }

    void NewWindow() {
        dial_.reset();
        prompter_ = std::make_unique<ScriptedPrompter>();
        dial_ = std::make_unique<TDial>(prompter_.get());
        f_ = dial_->Form();
        dial_->show();
        dial_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dial_.get()));
    }
    QString Cod(const QString& name) {
        const QString path = Work(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("[General]\nSource=\"" + name.toUtf8() + "\"\n");
        return path;
    }
    QString PaneText() {
        dial_->Pane()->Flush();
        return f_->Sortie->toPlainText();
    }
    // The help URL the window asked the desktop to open last.
    QUrl LastUrl() const { return urls_.urls.isEmpty() ? QUrl() : urls_.urls.last(); }
    void ExpectHelpKey(QWidget* page, const QString& file, const QString& anchor) {
        f_->PageControl->setCurrentWidget(page);
        QTest::keyClick(dial_.get(), Qt::Key_F1);
        const QUrl url = LastUrl();
        QCOMPARE(QFileInfo(url.toLocalFile()).fileName(), file);
        QCOMPARE(url.fragment(QUrl::FullyDecoded), anchor);
        // The page opened holds that anchor as an id, as the browser will look it up.
        QFile html(url.toLocalFile());
        QVERIFY2(html.open(QIODevice::ReadOnly), qPrintable(url.toLocalFile()));
        QVERIFY2(QString::fromUtf8(html.readAll()).contains("id=\"" + anchor + "\""), qPrintable(anchor));
    }
    // Every text the switch to English sets, in the order of the switch.
    QStringList EnglishTexts() const {
        const Ui::TDial& f = *f_;
        QStringList t;
        for (QWidget* page : {f.TabSheetRegles, f.TabSheetConception, f.TabSheetCouverture, f.TabSheetCherche})
            t << f.PageControl->tabText(f.PageControl->indexOf(page));
        for (QLabel* l : {f.Label_instructions, f.Label_fonctions, f.Label_imbrications, f.Label_caracteres,
                          f.LabelCaracteres, f.Label_PragmaAvant, f.Label_PragmaApres})
            t << l->text();
        for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
                 f.CheckBoxAligner, f.breakSurCase, f.CheckBoxMonoInstruction, f.CheckBoxAccolades, f.RtLf,
                 f.Verifier, f.ButtonIndenter, f.Rechercher, f.Remplace})
            t << b->text();
        t << f.ValueListEditorDico->horizontalHeaderItem(0)->text() << f.ValueListEditorDico->horizontalHeaderItem(1)->text();
        for (QAction* a : {f.FichierNouveau, f.FichierOuvrir, f.FichierEnregistrer, f.FichierEnregistrerSous,
                           f.FichierQuitter, f.AideAPropos})
            t << a->text();
        t << f.Langage1->title() << f.Help1->title() << HelpFile();
        return t;
    }
    // A program file of the test's own: `block` between bytes of no meaning.
    QString ProgramFile(const QString& name, const QByteArray& block) {
        const QString path = Work(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(100, '\x90') + block + QByteArray(100, '\0'));
        return path;
    }
    static QByteArray VersionBlock(const char* translation, const QList<QByteArray>& pairs) {
        QByteArray b = QByteArray("VANTOR-VERSION-BLOCK") + '\0' + translation + '\0';
        for (const QByteArray& p : pairs) b += p + '\0';
        return b + '\0' + '\0';
    }
    static QStringList AboutTexts(const TAboutBox& box) {
        const Ui::TAboutBox& a = *box.Form();
        return {a.ProductName->text(), a.Version->text(), a.Description->text(),
                a.Societe->text(),     a.Copyright->text(), a.TradeMark->text()};
    }

private slots:
    void initTestCase() {
        UseTemporarySettings(settingsDir_.path());
        QDir().mkpath(VANTOR_SHOTS_DIR);
        QDesktopServices::setUrlHandler("file", &urls_, "open");
        QDesktopServices::setUrlHandler("https", &urls_, "open");
    }
    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler("file");
        QDesktopServices::unsetUrlHandler("https");
    }
    void init() {
        French = true;
        SetHelpFile("VANTOR.html");
        QSettings user = User();
        user.clear();
        work_ = std::make_unique<QTemporaryDir>();
        urls_.urls.clear();
    }
    void cleanup() {
        dial_.reset();
        window_.reset();
        French = true;
    }

    // --- the list itself --------------------------------------------------------
    void loadsTheStoredOrderUpToTheCapacity() {
        ExpectLoaded(Stored(Paths("/c/", 0, 11), 12), Paths("/c/", 0, 7));
        ExpectLoaded(Stored(Paths("/c/", 0, 2), 3), Paths("/c/", 0, 2));
        ExpectLoaded(Stored(Paths("/c/", 0, 2), 2), Paths("/c/", 0, 1));  // higher values unread
        ExpectLoaded(Stored(Paths("/c/", 0, 2), "many"), {});             // no integer count: no list
        ExpectLoaded({{"Emplacement0", "/a"}}, {});                       // no count at all
    }
    void skipsMissingEmptyAndDashEntries() {
        QVariantMap m = Stored({"/a", "", "-", "/d"}, 5);
        ExpectLoaded(m, {"/a", "/d"});  // Emplacement4 missing
    }
    void samePathUnderTwoIndexesLoadsOnceAndSavesTheSmallerCount() {
        Seed(Stored({"/a", "/b", "/a"}, 3));
        std::unique_ptr<TLstConf> list = Load();
        QCOMPARE(Captions(*list), QStringList({"/a", "/b"}));
        QSettings s = Store();
        list->RecentSave(s);
        QCOMPARE(s.value("TailleHistorique").toInt(), 2);
        QCOMPARE(s.value("Emplacement2").toString(), QString("/a"));  // left as it was, unread
    }
    void addMovesAnExistingPathToTheTop() {
        Seed(Stored(Paths("/c/", 0, 7), 8));
        std::unique_ptr<TLstConf> list = Load();
        list->RecentAdd("/c/3");
        QCOMPARE(Captions(*list), QStringList({"/c/3", "/c/0", "/c/1", "/c/2", "/c/4", "/c/5", "/c/6", "/c/7"}));
        list->RecentAdd("/c/new");  // a ninth file drops entry 7
        QCOMPARE(Captions(*list), QStringList({"/c/new", "/c/3", "/c/0", "/c/1", "/c/2", "/c/4", "/c/5", "/c/6"}));
        list->RecentAdd("/C/NEW");  // another letter case, another entry
        QCOMPARE(Captions(*list).mid(0, 2), QStringList({"/C/NEW", "/c/new"}));
        list->RecentAdd("");
        list->RecentAdd("-");
        QCOMPARE(list->RecentFirst(), QString("/C/NEW"));
        // The entries stay between the anchor and the "-" item.
        QCOMPARE(menu_->actions().first(), anchor_);
        QCOMPARE(menu_->actions().size(), 8 + 3);
    }
    void addShowsTheNameInTheCaption() {
        std::unique_ptr<TLstConf> list = Load();
        QCOMPARE(list->RecentFirst(), QString());
        list->RecentAdd("/p/old-name.cod");
        QCOMPARE(window_->windowTitle(), QString("Vantor - /p/old-name.cod"));
        list->ShowConfigName("/p/new.cod");  // the old name's own "-" goes with it
        QCOMPARE(window_->windowTitle(), QString("Vantor - /p/new.cod"));
        QCOMPARE(CaptionWithName("Vantor -x-y", "n"), QString("Vantor - n"));
    }
    void saveWritesTheEntriesAndLeavesHigherValues() {
        Seed(Stored(Paths("/c/", 0, 5), 6));
        std::unique_ptr<TLstConf> list = Load(3);
        list->RecentAdd("/c/9");
        QSettings s = Store();
        list->RecentSave(s);
        QCOMPARE(s.value("TailleHistorique").toInt(), 3);
        QCOMPARE(QStringList({s.value("Emplacement0").toString(), s.value("Emplacement1").toString(),
                              s.value("Emplacement2").toString(), s.value("Emplacement5").toString()}),
                 QStringList({"/c/9", "/c/0", "/c/1", "/c/5"}));
    }

    // --- in the window -----------------------------------------------------------
    void entriesOpenTheirConfigurationAndSurviveTheWindow() {
        const QString a = Cod("a.cod"), b = Cod("b.cod"), c = Cod("c.cod");
        NewWindow();
        for (const QString& p : {a, b, c}) {
            prompter_->file = p;
            dial_->FichierOuvrirClick();
        }
        QCOMPARE(Captions(*dial_->Recent()), QStringList({c, b, a}));
        dial_->Recent()->Entries().at(2)->trigger();  // a, from the menu
        QCOMPARE(f_->Source->text(), QString("a.cod"));
        QCOMPARE(dial_->windowTitle(), "Vantor - " + a);
        QCOMPARE(Captions(*dial_->Recent()), QStringList({a, c, b}));
        // A file gone: the warning, and the entry stays.
        QFile::remove(b);
        dial_->Recent()->Entries().at(2)->trigger();
        QCOMPARE(prompter_->asked.last(), QString("message:Fichier de configuration introuvable"));
        QCOMPARE(Captions(*dial_->Recent()), QStringList({a, c, b}));
        // The next start shows the most recent configuration.
        NewWindow();
        QCOMPARE(Captions(*dial_->Recent()), QStringList({a, c, b}));
        QCOMPARE(f_->Source->text(), QString("a.cod"));

        // The menu with three recent entries.
        f_->MenuFichier->popup(dial_->mapToGlobal(QPoint(0, dial_->menuBar()->height())));
        QTest::qWait(50);
        QVERIFY(f_->MenuFichier->grab().save(VANTOR_SHOTS_DIR "/menu-configuration-recent.png"));
        f_->MenuFichier->hide();
    }
    void aStoreThatCannotBeOpenedMeansNoListAndNothingWritten() {
        // The store's file is a folder: it can be neither read nor written.
        const QString file = settingsDir_.path() + "/user/Belvane/Lumenta.conf";
        QFile::remove(file);
        QVERIFY(QDir().mkpath(file));
        NewWindow();
        QVERIFY(!dial_->Recent());
        prompter_->file = Cod("a.cod");
        dial_->FichierOuvrirClick();  // opens, lists nothing
        QCOMPARE(f_->Source->text(), QString("a.cod"));
        dial_.reset();
        QVERIFY(QFileInfo(file).isDir());
        QVERIFY(QDir(file).isEmpty());
        QDir(file).removeRecursively();
    }

    // --- language -------------------------------------------------------------------
    void englishSetsEveryTextOfTheTableOnceAndForAll() {
        NewWindow();
        dial_->English1Click();
        const QStringList english = {"Rules", "Design", "Coverage", "Search && Replace",  // shown "Search & Replace"
                                     "Instructions max per function", "Functions max par file", "level max of {}",
                                     "characters max per line", "characters", "before", "after", "{} aligned",
                                     "break on each case", "no more than one instruction per line",
                                     "{} mandatory on if, while, for, else, while...", "end of line CRL", "Check",
                                     "Apply", "Search", "Replace", "Old Name (Use Ins/Del/Arrows)", "New Name",
                                     "&New", "&Open", "&Save", "Sa&ve as", "&Quit", "&About", "Language", "Help",
                                     "vantor2.html"};
        QCOMPARE(EnglishTexts(), english);
        QVERIFY(f_->English1->isChecked() && !f_->Franais1->isChecked() && !French);
        dial_->English1Click();  // already English: the same, and no message
        QCOMPARE(EnglishTexts(), english);
        QVERIFY(prompter_->asked.isEmpty());
        // The dialog titles follow.
        dial_->FichierOuvrirClick();
        dial_->FichierEnregistrerSousClick();
        dial_->BitBtn1Click();
        QCOMPARE(prompter_->asked, QStringList({"open:Select the configuration to read",
                                                "save:Save the configuration as", "open:Select the file to treat"}));
    }
    void frenchAgainMessagesAtOnceTextsAtTheNextStart() {
        NewWindow();
        dial_->English1Click();
        dial_->Franais1Click();
        QVERIFY(French && f_->Franais1->isChecked() && !f_->English1->isChecked());
        QCOMPARE(prompter_->asked, QStringList({"message:Ne sera complet qu'au prochain lancement"}));
        QCOMPARE(f_->Verifier->text(), QString("Check"));
        QCOMPARE(f_->ButtonIndenter->text(), QString("Apply"));
        QCOMPARE(HelpFile(), QString("vantor2.html"));
        dial_->Pane()->Clear();
        f_->DestinationDesign->clear();
        dial_->ButtonDesignClick();
        QVERIFY2(PaneText().contains("Vous devez spécifier un répertoire destination"), qPrintable(PaneText()));
    }
    void theLanguageSurvivesARestart() {
        NewWindow();
        QVERIFY(French);  // no value stored: French
        QCOMPARE(f_->Verifier->text(), QString("Vérifier"));
        dial_->English1Click();
        dial_.reset();
        French = true;
        SetHelpFile("VANTOR.html");  // as at program entry
        NewWindow();
        QVERIFY(!French);
        QCOMPARE(f_->Verifier->text(), QString("Check"));
        QCOMPARE(HelpFile(), QString("vantor2.html"));
        // The machine's store answers when the user's has no value.
        dial_.reset();
        User().remove("French");
        QSettings(QSettings::SystemScope, "Belvane", "Lumenta").setValue("French", 0);
        French = true;
        NewWindow();
        QVERIFY(!French);
        QSettings(QSettings::SystemScope, "Belvane", "Lumenta").remove("French");
    }

    // --- help -------------------------------------------------------------------------
    void helpKeyOpensTheTopicOfThePageInUse() {
        NewWindow();
        ExpectHelpKey(f_->TabSheetRegles, "VANTOR.html", "Règles");
        ExpectHelpKey(f_->TabSheetConception, "VANTOR.html", "Conception");
        ExpectHelpKey(f_->TabSheetCouverture, "VANTOR.html", "Couverture");
        ExpectHelpKey(f_->TabSheetConfiguration, "VANTOR.html", "Configuration");
        ExpectHelpKey(f_->TabSheetCherche, "VANTOR.html", "Rechercher");
        // Accented anchors travel as UTF-8 percent escapes.
        f_->PageControl->setCurrentWidget(f_->TabSheetRegles);
        QTest::keyClick(dial_.get(), Qt::Key_F1);
        QVERIFY(LastUrl().toString(QUrl::FullyEncoded).endsWith("/VANTOR.html#R%C3%A8gles"));
        dial_->English1Click();
        ExpectHelpKey(f_->TabSheetRegles, "vantor2.html", "Règles");
        ExpectHelpKey(f_->TabSheetCherche, "vantor2.html", "Rechercher");
    }
    void indexOpensThePageOfTheLanguage() {
        NewWindow();
        f_->AideIndex->trigger();
        QCOMPARE(LastUrl(), QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/VANTOR.html"));
        dial_->English1Click();
        f_->AideIndex->trigger();
        QCOMPARE(LastUrl(), QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/vantor2.html"));
        QVERIFY(QFile::exists(LastUrl().toLocalFile()));
        // Both pages hold every topic the window opens.
        for (const char* page : {"VANTOR.html", "vantor2.html"}) {
            QFile html(QCoreApplication::applicationDirPath() + "/" + page);
            QVERIFY(html.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(html.readAll());
            for (const char* id : {"Règles", "Conception", "Couverture", "Configuration", "Rechercher", "Qui"})
                QVERIFY2(text.contains(QString("id=\"%1\"").arg(QString::fromUtf8(id))), page);
        }
    }

    // --- about box ---------------------------------------------------------------------
    void aboutBoxShowsTheProgramsVersionTexts() {
        TAboutBox full(ProgramFile("outil.bin", VersionBlock("040C04E4", {"ProductVersion", "3.1", "FileVersion", "3.1.2",
                                                                          "ProductName", "Outil", "FileDescription", "Décrit",
                                                                          "CompanyName", "Soc", "LegalCopyright", "(c)",
                                                                          "LegalTrademarks", "TM"})));
        QCOMPARE(AboutTexts(full), QStringList({"Outil", "Version=3.1.2", "Décrit", "Soc", "(c)", "TM"}));
        const QStringList none = {"prog", "Version=", "", "", "", ""};
        QCOMPARE(AboutTexts(TAboutBox(ProgramFile("prog.exe", ""))), none);
        QCOMPARE(AboutTexts(TAboutBox(ProgramFile("prog.exe", VersionBlock("040904E4", {"ProductName", "X"})))), none);
        QCOMPARE(AboutTexts(TAboutBox(ProgramFile("prog", VersionBlock("040C04E4", {"ProductVersion", "2.0"})))).mid(0, 2),
                 QStringList({"prog", "Version=2.0"}));
    }
    void aboutBoxIsShownWithoutBeingModal() {
        NewWindow();
        TAboutBox about(VANTOR_CLI_PATH);  // built with the project's version texts
        QVERIFY(about.isHidden());
        dial_->SetAboutBox(&about);
        f_->AideAPropos->trigger();
        QVERIFY(about.isVisible() && !about.isModal());
        QCOMPARE(about.windowTitle(), QString("A propos"));
        QCOMPARE(about.size(), QSize(287, 194));
        QVERIFY(about.Form()->OKButton->isDefault());
        QCOMPARE(about.Form()->OKButton->text(), QString("OK"));
        QVERIFY(!about.Form()->ProgramIcon->pixmap().isNull());
        QLabel* link = about.Form()->Label2;
        QVERIFY(link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QTest::qWait(50);
        QVERIFY(about.grab().save(VANTOR_SHOTS_DIR "/about-box.png"));
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(LastUrl(), QUrl(TAboutBox::kWebPage));
        QTest::mouseClick(about.Form()->OKButton, Qt::LeftButton);
        QVERIFY(about.isHidden());
        dial_->SetAboutBox(nullptr);
    }

    // --- pictures ------------------------------------------------------------------------
    void englishPictures() {
        NewWindow();
        dial_->English1Click();
        const char* names[] = {"rules", "design", "coverage", "configuration", "search"};
        for (int i = 0; i < f_->PageControl->count(); ++i) {
            f_->PageControl->setCurrentIndex(i);
            QTest::qWait(20);
            QVERIFY(dial_->grab().save(QString(VANTOR_SHOTS_DIR "/window-en-%1.png").arg(names[i])));
        }
    }
};

QTEST_MAIN(RecentTest)
#include "recent_test.moc"
