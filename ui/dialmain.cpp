#include "ui/dialmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QProcess>
#include <QShortcut>
#include <QSettings>
#include <QStyle>
#include <QTextBlock>
#include <QUrl>

#include "config/configfile.h"
#include "console/console.h"
#include "coverage/analyse.h"
#include "platform/fs.h"
#include "ui/fichierbatch.h"
#include "ui/help.h"
#include "ui/lstconf.h"
#include "ui/panesink.h"
#include "ui/prompter.h"
#include "ui/qtdispatcher.h"
#include "ui_dialmain.h"

using namespace vantor;

namespace {

const char kOrganisation[] = "Belvane";
const char kApplication[] = "Lumenta";

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }
QString TrQ(const char* fr, const char* en) { return QString::fromUtf8(Tr(fr, en)); }

// The lines of a multi-line control, as a list control holds them: a final
// line end makes no empty last line.
QStringList LinesOf(const QPlainTextEdit* memo) {
    QStringList lines = memo->toPlainText().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

void SetLines(QPlainTextEdit* memo, const std::vector<std::string>& lines) {
    QStringList text;
    for (const std::string& l : lines) text << Q(l);
    memo->setPlainText(text.join('\n'));
}

// Reads a boolean registry value; false when it is missing or no integer.
bool ReadBool(QSettings& key, const char* name, bool& value) {
    if (!key.contains(name)) return false;
    bool ok = false;
    const int v = key.value(name).toInt(&ok);
    if (ok) value = v != 0;
    return ok;
}

}  // namespace

TDial::TDial(Prompter* prompter, QWidget* parent)
    : QMainWindow(parent), ui_(new Ui::TDial), prompter_(prompter) {
    if (!prompter_) {
        ownPrompter_ = std::make_unique<QtPrompter>();
        prompter_ = ownPrompter_.get();
    }
    ui_->setupUi(this);
    Ui::TDial& f = *ui_;

    // What the window definition cannot say: the tools beside the tabs, the
    // separators that frame the recent entries, glyphs, the grid's columns.
    // The tools beside the tabs leave the window definition's layout for the tab bar.
    f.PageControl->setCornerWidget(f.PageTools, Qt::TopRightCorner);
    // Separators, drawn as lines (a caption would show beside the line).
    for (QAction* separator : {f.FichierSeparateur, f.N1, f.N8}) {
        separator->setSeparator(true);
        separator->setText(QString());
    }
    f.BitBtnParcourir->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    f.BitBtn1->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    for (QToolButton* b : {f.BitBtn5, f.BitBtn2, f.BitBtn3}) b->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    for (QToolButton* b : {f.SpeedButtonEffacer, f.SpeedButton1})
        b->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    f.SpeedButtonSave->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    f.ValueListEditorDico->setHorizontalHeaderLabels({"Ancien nom (ins/suppr/flèches)", "Nouveau nom"});
    f.ValueListEditorDico->setColumnWidth(0, 239);
    f.ValueListEditorDico->setColumnWidth(1, 260);
    f.ValueListEditorDico->verticalHeader()->setDefaultSectionSize(20);
    f.ValueListEditorDico->installEventFilter(this);
    f.Sortie->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    f.Sortie->viewport()->installEventFilter(this);
    f.Sortie->moveCursor(QTextCursor::End);
    resize(804, 541 + menuBar()->sizeHint().height());

    // Creation, step 1: the console writes into the pane; a worker's messages
    // reach it through the event loop.
    dispatcher_ = std::make_unique<QtConsoleDispatcher>();
    ConsoleSetDispatcher(dispatcher_.get());
    sink_ = std::make_unique<PaneSink>(f.Sortie);
    sink_->onTitle = [this](const std::string& t) { OnTitle(t); };
    // A pane that falls behind holds the worker back instead of the window.
    dispatcher_->holdBack = [this] { return sink_->Backlogged(); };
    ConsoleAttach(&console, sink_.get());

    // Step 2: the recent list and the language from the user's key, the
    // machine's key for a first start.
    QSettings user(QSettings::UserScope, kOrganisation, kApplication);
    if (user.status() == QSettings::NoError) {
        recent_ = std::make_unique<TLstConf>(f.FichierSeparateur, user, 8,
                                             [this](QAction* entry) { FichierSeparateurClick(entry); });
        if (!ReadBool(user, "French", French)) {
            QSettings machine(QSettings::SystemScope, kOrganisation, kApplication);
            ReadBool(machine, "French", French);
        }
    }

    // Steps 3 to 6. Start-up shows the settings in the controls, as New does,
    // so that what the window shows is what a run uses.
    const QString first = recent_ ? recent_->RecentFirst() : QString();
    Dictionary dictionary;
    ResetSettings(&dictionary);
    if (!first.isEmpty() && IsFile(S(first))) {
        LoadConfiguration(S(first), dictionary);
        ShowConfigName(first);
    } else {
        ShowConfigName("Nouveau");
    }
    FillGrid(dictionary);
    SettingsToControls();

    // Every control that holds a setting marks the window as edited.
    for (QLineEdit* e : {f.Source, f.Destination, f.DestinationDesign, f.Test, f.FolderToIgnore, f.lnIndentation,
                         f.imbrications, f.fonctions, f.caracteres, f.instructions})
        connect(e, &QLineEdit::textChanged, this, &TDial::Change);
    for (QCheckBox* c : {f.CheckBoxAligner, f.breakSurCase, f.CheckBoxMonoInstruction, f.CheckBoxAccolades,
                         f.CheckMethodes, f.noInterrog, f.RtLf, f.CheckBoxSousRep})
        connect(c, &QCheckBox::toggled, this, &TDial::Change);
    for (QPlainTextEdit* m : {f.MotsInterdits, f.MemoMasques, f.PragmaAvant, f.PragmaApres})
        connect(m, &QPlainTextEdit::textChanged, this, &TDial::Change);
    connect(f.ValueListEditorDico, &QTableWidget::cellChanged, this, &TDial::ValueListEditorDicoSetEditText);

    connect(f.Verifier, &QPushButton::clicked, this, &TDial::VerifierClick);
    connect(f.ButtonIndenter, &QPushButton::clicked, this, &TDial::ButtonIndenterClick);
    connect(f.ButtonDesign, &QPushButton::clicked, this, &TDial::ButtonDesignClick);
    connect(f.Instrumentation, &QPushButton::clicked, this, &TDial::InstrumentationClick);
    connect(f.Rechercher, &QPushButton::clicked, this, &TDial::RechercherClick);
    connect(f.Remplace, &QPushButton::clicked, this, &TDial::RemplaceClick);
    connect(f.CovDec, &QPushButton::clicked, this, &TDial::CovDecClick);
    connect(f.FichierNouveau, &QAction::triggered, this, &TDial::FichierNouveauClick);
    connect(f.FichierOuvrir, &QAction::triggered, this, &TDial::FichierOuvrirClick);
    connect(f.FichierEnregistrer, &QAction::triggered, this, &TDial::FichierEnregistrerClick);
    connect(f.FichierEnregistrerSous, &QAction::triggered, this, &TDial::FichierEnregistrerSousClick);
    connect(f.FichierQuitter, &QAction::triggered, this, &TDial::FichierQuitterClick);
    connect(f.English1, &QAction::triggered, this, &TDial::English1Click);
    connect(f.Franais1, &QAction::triggered, this, &TDial::Franais1Click);
    connect(f.AideIndex, &QAction::triggered, this, &TDial::AideIndexClick);
    connect(f.AideAPropos, &QAction::triggered, this, &TDial::AideAProposClick);
    connect(f.BitBtnParcourir, &QToolButton::clicked, this, &TDial::BitBtnParcourirClick);
    connect(f.BitBtn1, &QToolButton::clicked, this, &TDial::BitBtn1Click);
    connect(f.BitBtn5, &QToolButton::clicked, this, &TDial::BitBtn5Click);
    connect(f.BitBtn2, &QToolButton::clicked, this, &TDial::BitBtn2Click);
    connect(f.BitBtn3, &QToolButton::clicked, this, &TDial::BitBtn3Click);
    connect(f.SpeedButtonEffacer, &QToolButton::clicked, this, &TDial::SpeedButtonEffacerClick);
    connect(f.SpeedButton1, &QToolButton::clicked, this, &TDial::SpeedButtonEffacerClick);
    connect(f.SpeedButtonSave, &QToolButton::clicked, this, &TDial::SpeedButtonSaveClick);
    connect(f.CheckBoxFreeze, &QCheckBox::toggled, this, &TDial::CheckBoxFreezeClick);
    // The help key: the topic of the page in use.
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    helpKey->setContext(Qt::WindowShortcut);
    connect(helpKey, &QShortcut::activated, this, [this] { ShowHelp(HelpKeyword()); });

    openInEditor = [](const QString& path, int line) {
        QString editor = qEnvironmentVariable("VISUAL");
        if (editor.isEmpty()) editor = qEnvironmentVariable("EDITOR");
        QStringList args = QProcess::splitCommand(editor);
        if (!args.isEmpty()) {
            const QString program = args.takeFirst();
            if (QProcess::startDetached(program, args << QString("+%1").arg(line) << path)) return;
        }
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    modified_ = false;
}

TDial::~TDial() {
    destroying_ = true;
    // The last messages reach the pane before it goes. A run still going on
    // (the program ended under it) goes on to its end without the pane, so
    // that no file is left half done, and nothing it does reaches this window.
    ConsoleDetach(&console);
    if (worker_) {
        worker_->Wait();
        dispatcher_->ProcessPending();
        QApplication::restoreOverrideCursor();
    }
    ConsoleSetDispatcher(nullptr);
    QSettings user(QSettings::UserScope, kOrganisation, kApplication);
    if (user.status() == QSettings::NoError) {
        if (recent_) recent_->RecentSave(user);
        user.setValue("French", French ? 1 : 0);
    }
    recent_.reset();
}

bool TDial::Busy() {
    const QCursor* c = QGuiApplication::overrideCursor();
    return c && c->shape() == Qt::BusyCursor;
}

void TDial::ShowConfigName(const QString& name) { setWindowTitle(CaptionWithName(windowTitle(), name)); }

QString TDial::HelpKeyword() const {
    const Ui::TDial& f = *ui_;
    const QWidget* page = f.PageControl->currentWidget();
    const std::pair<const QWidget*, const char*> keywords[] = {{f.TabSheetRegles, "Règles"},
                                                               {f.TabSheetConception, "Conception"},
                                                               {f.TabSheetCouverture, "Couverture"},
                                                               {f.TabSheetConfiguration, "Configuration"},
                                                               {f.TabSheetCherche, "Rechercher"}};
    for (const auto& [p, keyword] : keywords)
        if (p == page) return QString::fromUtf8(keyword);
    return "Qui";
}

// --- controls and settings -------------------------------------------------

void TDial::ControlsToSettings() {
    Ui::TDial& f = *ui_;
    SettingsRecord& s = Settings;
    // A number field that holds no integer stops the copy there.
    const std::pair<QLineEdit*, int32_t*> numbers[] = {{f.lnIndentation, &s.lnIndentation},
                                                       {f.imbrications, &s.imbrications},
                                                       {f.fonctions, &s.fonctions},
                                                       {f.caracteres, &s.caracteres},
                                                       {f.instructions, &s.instructions}};
    for (const auto& [field, value] : numbers) {
        if (field->text().isEmpty()) continue;
        bool ok = false;
        const int v = field->text().toInt(&ok, 10);
        if (!ok) return;
        *value = v;
    }
    s.Source = S(f.Source->text());
    s.Destination = S(f.Destination->text());
    s.DestinationDesign = S(f.DestinationDesign->text());
    s.Test = S(f.Test->text());
    s.SousRepertoire = f.CheckBoxSousRep->isChecked();
    s.noInterrog = f.noInterrog->isChecked();
    s.breakSurCase = f.breakSurCase->isChecked();
    s.monoInstruction = f.CheckBoxMonoInstruction->isChecked();
    s.aligner = f.CheckBoxAligner->isChecked();
    s.MotsInterdits.Clear();
    for (const QString& w : LinesOf(f.MotsInterdits)) s.MotsInterdits.Add(S(w));
    auto copy = [](const QPlainTextEdit* memo, std::vector<std::string>& list) {
        list.clear();
        for (const QString& l : LinesOf(memo)) list.push_back(S(l));
    };
    copy(f.PragmaAvant, s.PragmaAvant);
    copy(f.PragmaApres, s.PragmaApres);
    copy(f.MemoMasques, s.Masques);
    s.accolades = f.CheckBoxAccolades->isChecked();
    s.Methodes = f.CheckMethodes->isChecked();
    s.folderToIgnore = S(f.FolderToIgnore->text());
    s.rtlf = f.RtLf->isChecked();
}

void TDial::SettingsToControls() {
    Ui::TDial& f = *ui_;
    const SettingsRecord& s = Settings;
    f.lnIndentation->setText(QString::number(s.lnIndentation));
    f.imbrications->setText(QString::number(s.imbrications));
    f.fonctions->setText(QString::number(s.fonctions));
    f.caracteres->setText(QString::number(s.caracteres));
    f.instructions->setText(QString::number(s.instructions));
    f.Source->setText(Q(s.Source));
    f.Destination->setText(Q(s.Destination));
    f.DestinationDesign->setText(Q(s.DestinationDesign));
    f.Test->setText(Q(s.Test));
    f.CheckBoxSousRep->setChecked(s.SousRepertoire);
    f.noInterrog->setChecked(s.noInterrog);
    f.breakSurCase->setChecked(s.breakSurCase);
    f.CheckBoxMonoInstruction->setChecked(s.monoInstruction);
    f.CheckBoxAligner->setChecked(s.aligner);
    SetLines(f.MotsInterdits, s.MotsInterdits.Items());
    SetLines(f.PragmaAvant, s.PragmaAvant);
    SetLines(f.PragmaApres, s.PragmaApres);
    SetLines(f.MemoMasques, s.Masques);
    f.CheckBoxAccolades->setChecked(s.accolades);
    f.CheckMethodes->setChecked(s.Methodes);
    f.FolderToIgnore->setText(Q(s.folderToIgnore));
    f.RtLf->setChecked(s.rtlf);
    modified_ = false;
}

Dictionary TDial::DictionaryFromGrid() const {
    Dictionary d;
    const QTableWidget* grid = ui_->ValueListEditorDico;
    for (int r = 0; r < grid->rowCount(); ++r) {
        const QTableWidgetItem* o = grid->item(r, 0);
        const QTableWidgetItem* n = grid->item(r, 1);
        if (!o || o->text().isEmpty()) continue;
        d.Add(S(o->text()), n ? S(n->text()) : std::string());
    }
    return d;
}

void TDial::FillGrid(const Dictionary& dictionary) {
    QTableWidget* grid = ui_->ValueListEditorDico;
    const QSignalBlocker quiet(grid);
    grid->setRowCount(0);
    gridKeys_.clear();
    for (const DictionaryRow& row : dictionary.Rows()) {
        const int r = grid->rowCount();
        grid->insertRow(r);
        grid->setItem(r, 0, new QTableWidgetItem(Q(row.oldName)));
        grid->setItem(r, 1, new QTableWidgetItem(Q(row.newName)));
        gridKeys_ << Q(row.oldName);
    }
}

void TDial::Change() { modified_ = true; }

void TDial::ValueListEditorDicoSetEditText(int row, int column) {
    QTableWidget* grid = ui_->ValueListEditorDico;
    while (gridKeys_.size() < grid->rowCount()) gridKeys_ << QString();
    if (column == 0) {
        // An old name the dictionary already holds (in any letter case) is
        // refused: the cell keeps its text.
        const QString key = grid->item(row, 0) ? grid->item(row, 0)->text() : QString();
        Dictionary others;
        for (int r = 0; r < grid->rowCount(); ++r)
            if (r != row && grid->item(r, 0) && !grid->item(r, 0)->text().isEmpty())
                others.Add(S(grid->item(r, 0)->text()), std::string());
        if (!key.isEmpty() && !others.Add(S(key), std::string())) {
            const QSignalBlocker quiet(grid);
            grid->item(row, 0)->setText(gridKeys_[row]);
            return;
        }
        gridKeys_[row] = key;
    }
    modified_ = true;
}

bool TDial::eventFilter(QObject* watched, QEvent* event) {
    QTableWidget* grid = ui_->ValueListEditorDico;
    if (watched == grid && event->type() == QEvent::KeyPress && grid->isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Insert) {
            const int r = grid->currentRow() < 0 ? grid->rowCount() : grid->currentRow() + 1;
            {
                const QSignalBlocker quiet(grid);
                grid->insertRow(r);
                grid->setItem(r, 0, new QTableWidgetItem());
                grid->setItem(r, 1, new QTableWidgetItem());
            }
            gridKeys_.insert(r, QString());
            grid->setCurrentCell(r, 0);
            modified_ = true;
            return true;
        }
        if (key == Qt::Key_Delete && grid->currentRow() >= 0) {
            const int r = grid->currentRow();
            grid->removeRow(r);
            if (r < gridKeys_.size()) gridKeys_.removeAt(r);
            modified_ = true;
            return true;
        }
    }
    if (watched == ui_->Sortie->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (OpenViolation(ui_->Sortie->cursorForPosition(pos).blockNumber())) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TDial::OpenViolation(int blockNumber) {
    sink_->Flush();
    const QTextDocument* doc = ui_->Sortie->document();
    QTextBlock b = doc->findBlockByNumber(blockNumber);
    const QString text = b.text();
    const int colon = text.indexOf(':');
    bool ok = false;
    const int line = colon > 0 ? text.left(colon).toInt(&ok) : 0;
    if (!ok || line <= 0) return false;
    // The file is the nearest title above the line that names an existing file.
    for (b = b.previous(); b.isValid(); b = b.previous()) {
        if (b.begin().atEnd() || !b.begin().fragment().charFormat().fontUnderline()) continue;
        const QString path = b.text();
        if (!IsFile(S(path))) continue;
        if (openInEditor) openInEditor(path, line);
        return true;
    }
    return false;
}

// --- batch commands ----------------------------------------------------------

void TDial::StartBatch(BatchCommand command) {
    if (Busy()) return;
    Ui::TDial& f = *ui_;
    const std::string source = S(f.Source->text());
    DestinationFault fault = DestinationFault::None;
    if (command == BatchCommand::Design)
        fault = CheckDesignDestination(S(f.DestinationDesign->text()), source, f.CheckBoxSousRep->isChecked());
    if (command == BatchCommand::Instrument)
        fault = CheckInstrumentDestination(S(f.Destination->text()), source, f.CheckBoxSousRep->isChecked());
    if (fault != DestinationFault::None) {
        ConsolePrint(&console, "%s", DestinationMessage(command, fault));
        return;
    }
    SetRunFlags(command, f.CheckBoxChaine->isChecked());
    if (modified_) ControlsToSettings();
    if (command == BatchCommand::Design) Settings.couverture = !Settings.designMode;

    BatchJob job{source, S(f.Destination->text()), S(f.DestinationDesign->text()), DictionaryFromGrid()};
    // Busy from here: the cursor is set before the thread exists, so that a
    // second click can never start a second run.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    SetSettingsEditable(false);
    running_ = true;
    filesDone_ = 0;
    currentFile_.clear();
    const QPointer<TDial> self(this);
    dispatcher_->Begin();
    worker_ = new TFichierBatch(std::move(job), [self] {
        if (!self || self->destroying_) return;
        self->worker_ = nullptr;
        self->RunEnded();
    });
}

void TDial::RunEnded() {
    // The worker's last messages may still be on their way.
    ConsolePump();
    dispatcher_->End();
    sink_->Flush();
    running_ = false;
    ui_->Progress->hide();
    QApplication::restoreOverrideCursor();
    SetSettingsEditable(true);
    if (closeWhenIdle_) close();
}

void TDial::OnTitle(const std::string& text) {
    if (!running_) return;
    if (text == "terminé\n" || text == "finished\n") {
        running_ = false;
        ui_->Progress->hide();
        return;
    }
    if (text == "Rules:\n" || text.rfind("Analyzed:", 0) == 0) return;
    ++filesDone_;
    currentFile_ = FromConsoleText(text.data(), text.size()).trimmed();
    ShowProgress();
}

void TDial::ShowProgress() {
    const int found = TFichierBatch::FilesFound();
    ui_->Progress->setText(found > 0 ? QString("%1 / %2   %3").arg(filesDone_).arg(found).arg(currentFile_)
                                     : QString("%1   %2").arg(filesDone_).arg(currentFile_));
    ui_->Progress->show();
}

void TDial::SetSettingsEditable(bool editable) {
    Ui::TDial& f = *ui_;
    for (QWidget* w : std::initializer_list<QWidget*>{
             f.Source, f.BitBtnParcourir, f.BitBtn1, f.GroupBoxObligatoire, f.GroupBoxInterdites, f.lnIndentation,
             f.RtLf, f.DestinationDesign, f.BitBtn5, f.PragmaAvant, f.PragmaApres, f.Destination, f.BitBtn2, f.Test,
             f.BitBtn3, f.GroupBoxMasques, f.CheckBoxSousRep, f.FolderToIgnore, f.ValueListEditorDico,
             f.CheckBoxChaine})
        w->setEnabled(editable);
    for (QAction* a : {f.FichierNouveau, f.FichierOuvrir, f.FichierEnregistrer, f.FichierEnregistrerSous})
        a->setEnabled(editable);
}

void TDial::VerifierClick() { StartBatch(BatchCommand::Check); }
void TDial::ButtonIndenterClick() { StartBatch(BatchCommand::Apply); }
void TDial::ButtonDesignClick() { StartBatch(BatchCommand::Design); }
void TDial::InstrumentationClick() { StartBatch(BatchCommand::Instrument); }
void TDial::RechercherClick() { StartBatch(BatchCommand::Search); }
void TDial::RemplaceClick() { StartBatch(BatchCommand::Replace); }

void TDial::CovDecClick() {
    if (Busy()) return;
    if (modified_) ControlsToSettings();
    RunAnalyse(S(ui_->Test->text()), std::string());
}

// --- configuration commands --------------------------------------------------

void TDial::FichierNouveauClick() {
    if (Busy()) return;
    Dictionary empty;
    ResetSettings(&empty);
    FillGrid(empty);
    ShowConfigName(French ? "Nouveau" : "New");
    SettingsToControls();
}

void TDial::OpenConfiguration(const QString& path) {
    Dictionary dictionary;
    std::string error;
    if (!LoadConfiguration(S(path), dictionary, &error))
        ConsolePrintColor(&console, kColorRed, "%s\n", error.c_str());
    FillGrid(dictionary);
    if (recent_) recent_->RecentAdd(path);
    ShowConfigName(path);
    SettingsToControls();
}

bool TDial::SaveConfigurationTo(const std::string& path) {
    if (modified_) ControlsToSettings();
    std::string error;
    if (SaveConfiguration(path, DictionaryFromGrid(), &error)) return true;
    ConsolePrintColor(&console, kColorRed, "%s\n", error.c_str());
    return false;
}

void TDial::FichierOuvrirClick() {
    if (Busy()) return;
    const QString path = prompter_->OpenFile(this, openDialog1Title_,
                                             TrQ("Configurations (*.cod);;Tous les fichiers (*)",
                                                 "Configurations (*.cod);;All files (*)"));
    if (path.isEmpty()) return;
    OpenConfiguration(path);
}

void TDial::FichierEnregistrerClick() {
    if (Busy()) return;
    if (Settings.configFilePath.empty()) {
        FichierEnregistrerSousClick();
        return;
    }
    // Nothing saved: the edits stay marked as unsaved.
    if (SaveConfigurationTo(Settings.configFilePath)) modified_ = false;
}

void TDial::FichierEnregistrerSousClick() {
    if (Busy()) return;
    QString path = prompter_->SaveFile(this, saveDialog1Title_,
                                       "Configurations (*.cod)");
    if (path.isEmpty()) return;
    if (!path.contains('.')) path += ".cod";
    if (!SaveConfigurationTo(S(path))) return;
    if (recent_) recent_->RecentAdd(path);
    ShowConfigName(path);
    modified_ = false;
}

void TDial::FichierQuitterClick() { close(); }

void TDial::FichierSeparateurClick(QAction* entry) {
    if (Busy() || !entry || entry == ui_->FichierSeparateur) return;
    const QString path = entry->text();
    if (path.isEmpty() || !IsFile(S(path))) {
        // The entry stays: the file may come back (a drive not mounted yet).
        prompter_->Message(this, TrQ("Attention", "Warning"),
                           TrQ("Fichier de configuration introuvable", "Configuration file not found"),
                           Prompter::Icon::Warning, false);
        return;
    }
    OpenConfiguration(path);
}

void TDial::closeEvent(QCloseEvent* event) {
    if (modified_ && !closeWhenIdle_) {
        const Prompter::Answer a =
            prompter_->Message(this, TrQ("Vous avez fait des modifications", "Vous have done some modifications"),
                               TrQ("Voulez vous les sauvegarder ?", "Do you want to save it ?"),
                               Prompter::Icon::Question, true);
        if (a == Prompter::Answer::Cancel) {
            event->ignore();
            return;
        }
        if (a == Prompter::Answer::Yes) {
            // Saving waits for the end of a run, which reads the settings.
            if (Busy()) {
                event->ignore();
                return;
            }
            FichierEnregistrerClick();
        }
    }
    if (Busy()) {
        // A run is rewriting files: it ends first, out of sight, then the
        // window closes.
        closeWhenIdle_ = true;
        hide();
        event->ignore();
        return;
    }
    event->accept();
}

// --- browse, pane tools ----------------------------------------------------------

void TDial::Browse(QWidget* field, const QString& fr, const QString& en) {
    const QString path = prompter_->BrowseFolder(this, French ? fr : en);
    if (path.isEmpty()) return;
    static_cast<QLineEdit*>(field)->setText(path);
    modified_ = true;
}

void TDial::BitBtnParcourirClick() {
    Browse(ui_->Source, "Selectionner le répertoire source", "Select the source folder");
}
void TDial::BitBtn5Click() {
    Browse(ui_->DestinationDesign, "Sélectionnez le répertoire destination", "Select the destination folder");
}
void TDial::BitBtn2Click() {
    Browse(ui_->Destination, "Sélectionner le répertoire destination", "Select the destination folder");
}
void TDial::BitBtn3Click() {
    Browse(ui_->Test, "Selectionner le répertoire destination", "Select the destination folder");
}

void TDial::BitBtn1Click() {
    const QString path = prompter_->OpenFile(this, openDialog2Title_,
                                             TrQ("Sources (*.c *.cpp *.h *.java);;Tous les fichiers (*)",
                                                 "Sources (*.c *.cpp *.h *.java);;All files (*)"));
    if (path.isEmpty()) return;
    ui_->Source->setText(path);
    modified_ = true;
}

void TDial::SpeedButtonEffacerClick() { sink_->Clear(); }

void TDial::SpeedButtonSaveClick() {
    // A save dialog, not an open one: the file to write usually does not exist yet.
    const QString path = prompter_->SaveFile(this, QString(), QString());
    if (path.isEmpty()) return;
    sink_->Flush();
    if (!SaveRichText(*ui_->Sortie, path))
        ConsolePrintColor(&console, kColorRed, Tr("impossible d'écrire le fichier %s\n", "unable to write the file %s\n"),
                          S(path).c_str());
}

void TDial::CheckBoxFreezeClick(bool checked) {
    if (checked)
        ConsoleFreeze(&console);
    else
        ConsoleUnfreeze(&console);
}

// --- seams for the next steps ----------------------------------------------------

// --- language, help, about box ----------------------------------------------------

void TDial::English1Click() {
    Ui::TDial& f = *ui_;
    f.Franais1->setChecked(false);
    f.English1->setChecked(true);
    French = false;
    auto tab = [&f](QWidget* page, const char* text) { f.PageControl->setTabText(f.PageControl->indexOf(page), text); };
    tab(f.TabSheetRegles, "Rules");
    f.Label_instructions->setText("Instructions max per function");
    f.Label_fonctions->setText("Functions max par file");
    f.Label_imbrications->setText("level max of {}");
    f.Label_caracteres->setText("characters max per line");
    f.CheckBoxAligner->setText("{} aligned");
    f.breakSurCase->setText("break on each case");
    f.CheckBoxMonoInstruction->setText("no more than one instruction per line");
    f.CheckBoxAccolades->setText("{} mandatory on if, while, for, else, while...");
    f.LabelCaracteres->setText("characters");
    f.RtLf->setText("end of line CRL");
    f.Verifier->setText("Check");
    f.ButtonIndenter->setText("Apply");
    tab(f.TabSheetConception, "Design");
    tab(f.TabSheetCouverture, "Coverage");
    f.Label_PragmaAvant->setText("before");
    f.Label_PragmaApres->setText("after");
    tab(f.TabSheetCherche, "Search && Replace");  // "&&": a plain "&", not a mnemonic
    f.Rechercher->setText("Search");
    f.Remplace->setText("Replace");
    f.ValueListEditorDico->setHorizontalHeaderLabels({"Old Name (Use Ins/Del/Arrows)", "New Name"});
    f.FichierNouveau->setText("&New");
    f.FichierOuvrir->setText("&Open");
    f.FichierEnregistrer->setText("&Save");
    f.FichierEnregistrerSous->setText("Sa&ve as");
    f.FichierQuitter->setText("&Quit");
    f.Langage1->setTitle("Language");
    f.Help1->setTitle("Help");
    f.AideAPropos->setText("&About");
    openDialog1Title_ = "Select the configuration to read";
    saveDialog1Title_ = "Save the configuration as";
    SetHelpFile("vantor2.html");
    openDialog2Title_ = "Select the file to treat";
}

void TDial::Franais1Click() {
    ui_->Franais1->setChecked(true);
    ui_->English1->setChecked(false);
    prompter_->Message(this, "Passage en français", "Ne sera complet qu'au prochain lancement",
                       Prompter::Icon::Warning, false);
    // The texts go back to French at the next start only.
    French = true;
}

void TDial::AideIndexClick() { ShowHelp(); }

void TDial::AideAProposClick() {
    if (!aboutBox_) return;
    aboutBox_->show();
    aboutBox_->raise();
    aboutBox_->activateWindow();
}

void TDial::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shownOnce_ && !French) English1Click();
    shownOnce_ = true;
}
