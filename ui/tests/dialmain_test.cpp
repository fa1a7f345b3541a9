// The main window: start-up, the copy between controls and settings, the
// commands and their checks, the close prompt, the runs against vantor-cli's
// output, and pictures of every page.
#include <QFile>
#include <QFileInfo>
#include <QStyle>
#include <memory>

#include "console/console.h"
#include "support.h"
#include "ui/fichierbatch.h"

using namespace vantor;

class DialTest : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir_;
    std::unique_ptr<ScriptedPrompter> prompter_;
    std::unique_ptr<TDial> dial_;
    Ui::TDial* f_ = nullptr;
    std::unique_ptr<QTemporaryDir> work_;

    QString Work(const QString& name) const { return work_->filePath(name); }
    QString PaneText() {
        dial_->Pane()->Flush();
        return f_->Sortie->toPlainText();
    }
    void NewWindow() {
        dial_.reset();
        prompter_ = std::make_unique<ScriptedPrompter>();
        dial_ = std::make_unique<TDial>(prompter_.get());
        f_ = dial_->Form();
        dial_->show();
        dial_->SpeedButtonEffacerClick();
    }
    // A fresh copy of samples/ as "samples" in the work folder, which becomes
    // the current folder, so that the window and vantor-cli print the same paths.
    void FreshSamples() {
        QDir(Work("samples")).removeRecursively();
        QVERIFY(CopyTree(VANTOR_SOURCE_DIR "/samples", Work("samples")));
        QDir::setCurrent(work_->path());
    }
    void ExpectSameAsCli(QAbstractButton* button, const QStringList& cliArgs) {
        FreshSamples();
        const QString expected = WithoutDate(CliOutput(cliArgs, work_->path()));
        FreshSamples();
        for (const char* out : {"pages", "inst"}) QDir(Work(out)).removeRecursively();
        dial_->SpeedButtonEffacerClick();
        QVERIFY(ClickAndWait(button));
        PaneText();
        const QString actual = WithoutDate(PaneAnsi(f_->Sortie));
        QCOMPARE(actual, expected);
    }

private slots:
    void initTestCase() {
        UseTemporarySettings(settingsDir_.path());
        QDir().mkpath(VANTOR_SHOTS_DIR);
    }
    void init() {
        French = true;
        QSettings(QSettings::UserScope, "Belvane", "Lumenta").remove("French");
        work_ = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(VANTOR_SOURCE_DIR);
        NewWindow();
    }
    void cleanup() {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
        dial_.reset();
        QDir::setCurrent(VANTOR_SOURCE_DIR);
    }

    void startUp() {
        QCOMPARE(dial_->windowTitle(), QString("Vantor - Nouveau"));
        QCOMPARE(dial_->size(), QSize(804, 541 + dial_->menuBar()->height()));
        QVERIFY(!dial_->Modified());
        QCOMPARE(f_->PageControl->currentWidget(), f_->TabSheetRegles);
        QCOMPARE(f_->ValueListEditorDico->columnWidth(0), 239);
        QCOMPARE(f_->ValueListEditorDico->columnWidth(1), 260);
        // The controls show the settings a run uses.
        QCOMPARE(f_->MemoMasques->toPlainText(), QString("*.h\n*.c"));
        QCOMPARE(f_->CheckBoxAccolades->isChecked(), Settings.accolades);
        // In English the caption still says "Nouveau"; the language comes from the user's key.
        dial_.reset();
        QSettings(QSettings::UserScope, "Belvane", "Lumenta").setValue("French", 0);
        NewWindow();
        QVERIFY(!French);
        QCOMPARE(dial_->windowTitle(), QString("Vantor - Nouveau"));
        dial_.reset();  // writes the flag back
        QCOMPARE(QSettings(QSettings::UserScope, "Belvane", "Lumenta").value("French").toInt(), 0);
        QSettings(QSettings::UserScope, "Belvane", "Lumenta").remove("French");
    }

    void destinationChecks_data() {
        QTest::addColumn<bool>("design");
        QTest::addColumn<bool>("french");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("message");
        QTest::newRow("design, empty") << true << true << "" << "Vous devez spécifier un répertoire destination";
        QTest::newRow("design, empty, en") << true << false << "" << "You must specify a destination folder";
        QTest::newRow("design, letter case")
            << true << true << "SAMPLES/" << "Les répertoires sources et destination doivent être différents";
        QTest::newRow("instrument, empty") << false << true << "" << "Vous devez spéficier un répertoire de destination";
        QTest::newRow("instrument, same")
            << false << true << "samples" << "Le répertoire destination doit différer du répertoire source";
        QTest::newRow("instrument, same, en")
            << false << false << "samples/" << "Yous must select a different destination than source";
    }
    void destinationChecks() {
        QFETCH(bool, design);
        QFETCH(bool, french);
        QFETCH(QString, destination);
        QFETCH(QString, message);
        French = french;
        f_->Source->setText("samples/");
        (design ? f_->DestinationDesign : f_->Destination)->setText(destination);
        Settings.checkMode = true;
        (design ? f_->ButtonDesign : f_->Instrumentation)->click();
        QVERIFY(!TDial::Busy());
        QCOMPARE(PaneText(), message + "\n");
        QVERIFY(Settings.checkMode);  // no run flag changed
    }

    void saveAsAppendsCodOnlyWithoutADot() {
        QVERIFY(!work_->path().contains('.'));
        prompter_->file = Work("plain");
        dial_->FichierEnregistrerSousClick();
        QVERIFY(QFileInfo::exists(Work("plain.cod")));
        QDir().mkpath(Work("a.b"));
        prompter_->file = Work("a.b/plain");
        dial_->FichierEnregistrerSousClick();
        QVERIFY(QFileInfo::exists(Work("a.b/plain")));
        QCOMPARE(dial_->windowTitle(), "Vantor - " + Work("a.b/plain"));
        QVERIFY(!dial_->Modified());
    }

    void openShowsTheConfiguration() {
        QFile cod(Work("c.cod"));
        QVERIFY(cod.open(QIODevice::WriteOnly));
        cod.write("[General]\nSource=\"here\"\nimbrications=5\n[Dictionnaire]\nold=new\n");
        cod.close();
        f_->Source->setText("edited");
        prompter_->file = cod.fileName();
        dial_->FichierOuvrirClick();
        QCOMPARE(f_->Source->text(), QString("here"));
        QCOMPARE(f_->imbrications->text(), QString("5"));
        QCOMPARE(f_->ValueListEditorDico->rowCount(), 1);
        QVERIFY(!dial_->Modified());
        QAction entry(cod.fileName());  // a recent entry
        f_->Source->setText("edited");
        dial_->FichierSeparateurClick(&entry);
        QCOMPARE(f_->Source->text(), QString("here"));
        QFile::remove(cod.fileName());
        dial_->FichierSeparateurClick(&entry);
        QCOMPARE(prompter_->asked.last(), QString("message:Fichier de configuration introuvable"));
        dial_->FichierNouveauClick();
        QCOMPARE(f_->Source->text(), QString());
        QCOMPARE(f_->ValueListEditorDico->rowCount(), 0);
        QCOMPARE(dial_->windowTitle(), QString("Vantor - Nouveau"));
    }

    void commandsDoNothingWhileBusy() {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        f_->Source->setText("samples/");
        f_->Verifier->click();
        dial_->FichierNouveauClick();
        prompter_->file = Work("x.cod");
        dial_->FichierEnregistrerSousClick();
        QApplication::restoreOverrideCursor();
        QCOMPARE(PaneText(), QString());
        QCOMPARE(f_->Source->text(), QString("samples/"));
        QVERIFY(prompter_->asked.isEmpty());
    }

    void closePrompt() {
        f_->Source->setText("edited");
        prompter_->answer = Prompter::Answer::Cancel;
        QVERIFY(!dial_->close());
        QVERIFY(dial_->isVisible() && dial_->Modified());
        prompter_->answer = Prompter::Answer::Yes;  // no configuration path: Save as, cancelled
        QVERIFY(dial_->close());
        QCOMPARE(prompter_->asked.last(), QString("save:Enregistrer la configuration sous..."));
        NewWindow();
        QVERIFY(dial_->close());  // nothing edited: no question
        QVERIFY(prompter_->asked.isEmpty());
    }

    void lettersInANumberFieldStopTheCopy() {
        f_->lnIndentation->setText("5");
        f_->imbrications->setText("abc");
        f_->fonctions->setText("33");
        f_->Source->setText("samples/");
        QVERIFY(ClickAndWait(f_->Verifier));
        QCOMPARE(Settings.lnIndentation, 5);
        QCOMPARE(Settings.imbrications, 8);
        QCOMPARE(Settings.fonctions, 20);
        QCOMPARE(Settings.Source, std::string());
        QVERIFY(dial_->Modified());
        // An empty field is passed over and the copy goes on.
        f_->imbrications->setText("");
        dial_->ControlsToSettings();
        QCOMPARE(Settings.fonctions, 33);
        QCOMPARE(Settings.Source, std::string("samples/"));
    }

    void designRunLeavesNoDesignModeBehind() {
        FreshSamples();
        f_->Source->setText("samples");
        f_->DestinationDesign->setText("pages");
        QVERIFY(ClickAndWait(f_->ButtonDesign));
        for (const char* page : {"pages/dependency.html", "pages/calling.html", "pages/stack.c.html", "pages/liste.txt"})
            QVERIFY2(QFileInfo::exists(Work(page)), page);
        QVERIFY(!Settings.designMode && !Settings.designListFile && !Settings.dependencyMatrix);
        QVERIFY(PaneText().endsWith("terminé\n"));
        QDir(Work("pages")).removeRecursively();
        QVERIFY(ClickAndWait(f_->Verifier));
        QVERIFY(!QFileInfo::exists(Work("pages")));
    }

    void checkTakesNoDestinationAndEndsIdle() {
        FreshSamples();
        f_->Source->setText("samples");
        f_->Destination->setText("covout");
        QVERIFY(ClickAndWait(f_->Verifier));
        QVERIFY(!QFileInfo::exists(Work("covout")));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(f_->Progress->isHidden());
        QCOMPARE(TFichierBatch::FilesFound(), 4);
        QVERIFY(ClickAndWait(f_->Verifier));  // a new command is accepted
        QCOMPARE(PaneText().count("terminé\n"), 2);
    }

    void closingDuringARunWaitsForItsEnd() {
        QFile many(Work("many.c"));
        QVERIFY(many.open(QIODevice::WriteOnly));
        many.write("int f(int a)\n{\n" + QByteArray("   a++; a++;\n").repeated(50000) + "}\n");
        many.close();
        f_->Source->setText(many.fileName());
        prompter_->answer = Prompter::Answer::No;
        f_->Verifier->click();
        QVERIFY(TDial::Busy());
        QVERIFY(f_->Progress->isVisible() || f_->Progress->text().isEmpty());
        QVERIFY(!dial_->close());  // hidden, closed once the run is over
        QVERIFY(dial_->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(!TDial::Busy(), 60000);
        QVERIFY(PaneText().endsWith("terminé\n"));
        QCOMPARE(PaneText().count(":>1 instruction par ligne"), 50000);
        // A window destroyed under a run waits for it, and the run's end finds no window.
        dial_->show();
        f_->Verifier->click();
        dial_.reset();
        QVERIFY(!QApplication::overrideCursor());
        QTest::qWait(20);
    }

    void runsShowWhatTheCliPrints() {
        f_->Source->setText("samples/");
        ExpectSameAsCli(f_->Verifier, {"check", "samples/"});
        ExpectSameAsCli(f_->ButtonIndenter, {"apply", "samples/"});
        f_->DestinationDesign->setText("pages");
        ExpectSameAsCli(f_->ButtonDesign, {"-o", "pages", "design", "samples/"});
        f_->Destination->setText("inst");
        ExpectSameAsCli(f_->Instrumentation, {"-o", "inst", "instrument", "samples/"});
        QTest::keyClick(f_->ValueListEditorDico, Qt::Key_Insert);
        f_->ValueListEditorDico->item(0, 0)->setText("Stack");
        f_->ValueListEditorDico->item(0, 1)->setText("Pile");
        const QStringList dict{"--dict", "Stack=Pile"};
        ExpectSameAsCli(f_->Rechercher, dict + QStringList{"search", "samples/"});
        ExpectSameAsCli(f_->Remplace, dict + QStringList{"replace", "samples/"});
        f_->CheckBoxChaine->setChecked(true);
        ExpectSameAsCli(f_->Rechercher, dict + QStringList{"--substring", "search", "samples/"});
    }

    void paneSavedAsRichText() {
        f_->Source->setText("samples/");
        QVERIFY(ClickAndWait(f_->Verifier));
        prompter_->file = Work("pane.rtf");
        dial_->SpeedButtonSaveClick();
        QFile rtf(prompter_->file);
        QVERIFY(rtf.open(QIODevice::ReadOnly));
        const QByteArray text = rtf.readAll();
        QVERIFY(text.startsWith("{\\rtf1"));
        QVERIFY(text.contains("\\red255\\green0\\blue0;"));
        QVERIFY(text.contains("\\cf1 0007:...\\{\\cf0"));
        QVERIFY(text.contains("\\ul samples/stack.h\\ulnone"));
        QVERIFY(text.contains("\\ul termin\\u233?\\ulnone"));
    }

    void gridKeepsItsKeysUnique() {
        QTableWidget* grid = f_->ValueListEditorDico;
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Insert);
        QTest::keyClick(grid, Qt::Key_Insert);
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(grid->rowCount(), 3);
        grid->item(0, 0)->setText("Name");
        grid->item(1, 0)->setText("other");
        grid->item(1, 0)->setText("NAME");  // the dictionary's comparison ignores letter case
        QCOMPARE(grid->item(1, 0)->text(), QString("other"));
        grid->setCurrentCell(2, 0);
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(dial_->DictionaryFromGrid().Count(), size_t(2));
        QVERIFY(dial_->Modified());
    }

    void doubleClickOnAViolationOpensItsFile() {
        f_->Source->setText("samples/");
        QVERIFY(ClickAndWait(f_->Verifier));
        QString path;
        int line = 0;
        dial_->openInEditor = [&](const QString& p, int l) { path = p, line = l; };
        const QTextBlock b = f_->Sortie->document()->find("0037:longueur ligne>80").block();
        QVERIFY(dial_->OpenViolation(b.blockNumber()));
        QCOMPARE(path, QString("samples/stack.c"));
        QCOMPARE(line, 37);
        QVERIFY(!dial_->OpenViolation(f_->Sortie->document()->find("Rules:").block().blockNumber()));
    }

    void pictures() {
        const QString dir = VANTOR_SHOTS_DIR;
        const char* names[] = {"regles", "conception", "couverture", "configuration", "cherche"};
        for (int i = 0; i < f_->PageControl->count(); ++i) {
            f_->PageControl->setCurrentIndex(i);
            QVERIFY(dial_->grab().save(dir + "/window-" + names[i] + ".png"));
        }
        f_->PageControl->setCurrentIndex(0);
        f_->Source->setText("samples/");
        QVERIFY(ClickAndWait(f_->Verifier));
        PaneText();
        QVERIFY(dial_->grab().save(dir + "/window-check-samples.png"));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    DialTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialmain_test.moc"
