#include "install/forminstall.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTextBlock>
#include <QTextCursor>

#include "platform/version.h"
#include "ui/prompter.h"
#include "ui/versionlabels.h"
#include "ui_forminstall.h"

bool installMode = true;


// A memo of the console's memo mode over a plain-text widget.
class MemoWidgetSink : public vantor::MemoSink {
public:
    explicit MemoWidgetSink(QPlainTextEdit* memo) : memo_(memo) {}
    size_t LineCount() const override { return lines_; }
    void AddLine(const char* text, size_t len) override {
        const QString line = QString::fromUtf8(text, static_cast<qsizetype>(len));
        if (lines_ == 0)
            memo_->setPlainText(line);
        else
            memo_->appendPlainText(line);
        ++lines_;
    }
    void AppendToLastLine(const char* text, size_t len) override {
        QTextCursor c(memo_->document());
        c.movePosition(QTextCursor::End);
        c.insertText(QString::fromUtf8(text, static_cast<qsizetype>(len)));
    }
    void DeleteLine(size_t index) override {
        QTextCursor c(memo_->document()->findBlockByNumber(static_cast<int>(index)));
        c.select(QTextCursor::BlockUnderCursor);
        // The first block has no line end before it: take the one after.
        if (index == 0) c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        if (lines_) --lines_;
    }

private:
    QPlainTextEdit* memo_;
    size_t lines_ = 0;
};

// The program picture lives in the window library's resources, which a
// static library does not register by itself.
static void InitResources() { Q_INIT_RESOURCE(vantor); }

namespace {

const char* const kOrganisation = "Morvane";
const char* const kStoreName = "registry";

QString KeyPath(const std::string& key, const std::string& name = std::string()) {
    QString k = QString::fromStdString(key).replace('\\', '/');
    return name.empty() ? k : k + '/' + QString::fromStdString(name);
}

QSettings Machine(bool system) {
    return QSettings(QSettings::NativeFormat, system ? QSettings::SystemScope : QSettings::UserScope,
                     kOrganisation, kStoreName);
}

QString Std(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

SettingsKeyStore::SettingsKeyStore() {
    QSettings s(QSettings::NativeFormat, QSettings::SystemScope, kOrganisation, kStoreName);
    system_ = s.isWritable();
}
bool SettingsKeyStore::CreateKey(const std::string&) {
    QSettings s = Machine(system_);
    return s.isWritable();
}
void SettingsKeyStore::WriteString(const std::string& key, const std::string& name, const std::string& value) {
    QSettings s = Machine(system_);
    s.setValue(KeyPath(key, name), Std(value));
}
void SettingsKeyStore::WriteInteger(const std::string& key, const std::string& name, int value) {
    QSettings s = Machine(system_);
    s.setValue(KeyPath(key, name), value);
}
bool SettingsKeyStore::ReadString(const std::string& key, const std::string& name, std::string* value) {
    QSettings s = Machine(system_);
    const QVariant v = s.value(KeyPath(key, name));
    if (!v.isValid()) return false;
    *value = v.toString().toStdString();
    return true;
}
void SettingsKeyStore::DeleteKey(const std::string& key) {
    QSettings s = Machine(system_);
    s.remove(KeyPath(key));
}
std::vector<std::string> SettingsKeyStore::UserNames() {
    const QByteArray user = qgetenv("USER");
    return {user.isEmpty() ? std::string("user") : user.toStdString()};
}
void SettingsKeyStore::DeleteUserKey(const std::string&, const std::string& key) {
    QSettings s = Machine(false);
    s.remove(KeyPath(key));
}

TFormInstall::TFormInstall(const QString& programPath, QWidget* parent)
    : QDialog(parent), ui_(new Ui::TFormInstall), ownPrompter_(new QtPrompter), prompter_(ownPrompter_.get()) {
    InitResources();
    ui_->setupUi(this);
    setFixedSize(544, 381);
    frenchSink_ = std::make_unique<MemoWidgetSink>(ui_->MemoFrench);
    englishSink_ = std::make_unique<MemoWidgetSink>(ui_->MemoEnglish);
    vantor::ConsoleAttach(&vantor::console, frenchSink_.get(), true);
    vantor::ConsoleAttach(&vantor::englishConsole, englishSink_.get(), true);

    const QString path = programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath;
    programName_ = QFileInfo(path).fileName();
    version_ = std::make_unique<TVersion>(path.toStdString());
    FillVersionLabels(*version_, ui_->ProductName, ui_->Version, ui_->Description, ui_->Societe, ui_->Copyright,
                      ui_->TradeMark);
    ui_->ProgramIcon->setPixmap(QPixmap(":/vantor.png"));
    MakeMakerLink(ui_->Label2);

    connect(ui_->RadioFrench, &QRadioButton::clicked, this, &TFormInstall::RadioFrenchClick);
    connect(ui_->RadioEnglish, &QRadioButton::clicked, this, &TFormInstall::RadioEnglishClick);
    connect(ui_->ButtonInstaller, &QPushButton::clicked, this, &TFormInstall::ButtonInstallerClick);
    connect(ui_->ButtonCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(ui_->ButtonParcourirRepertoire, &QToolButton::clicked, this, &TFormInstall::ButtonParcourirRepertoireClick);
    connect(ui_->ButtonParcourirMenu, &QToolButton::clicked, this, &TFormInstall::ButtonParcourirMenuClick);

    if (vantor::LocaleIsFrench())
        RadioFrenchClick();
    else
        RadioEnglishClick();

    const std::string product = version_->productName;
    const vantor::Previous previous = vantor::ReadPrevious(store_, product);
    const bool root = vantor::RunningAsRoot();
    if (previous.found) {
        ui_->Repertoire->setText(Std(previous.folder));
        ui_->Menu->setText(Std(previous.menu));
    } else {
        ui_->Repertoire->setText(Std(vantor::SpecialFolder(vantor::FolderKind::ProgramFiles, root) + "/" + product));
        ui_->Menu->setText(Std(vantor::SpecialFolder(vantor::FolderKind::ProgramsMenu, root) + "/" + product));
    }
    ini_ = vantor::ReadInstallIni("install.ini");
    if (installMode) {
        vantor::PrintWelcome(Job(), previous);
    } else {
        setWindowTitle("Desinstallation");
        vantor::PrintUninstallWarning(Job());
        ui_->ButtonInstaller->setText(ui_->RadioFrench->isChecked() ? "Desinstaller" : "Uninstall");
        ui_->ButtonParcourirRepertoire->hide();
        ui_->ButtonParcourirMenu->hide();
    }
    for (QPlainTextEdit* m : {ui_->MemoFrench, ui_->MemoEnglish})
        m->verticalScrollBar()->setValue(m->verticalScrollBar()->maximum());
}

TFormInstall::~TFormInstall() {
    vantor::ConsoleDetach(&vantor::console);
    vantor::ConsoleDetach(&vantor::englishConsole);
}

vantor::InstallJob TFormInstall::Job() {
    vantor::InstallJob job;
    job.product = version_->productName;
    job.programName = programName_.toStdString();
    job.versionLabel = ui_->Version->text().toStdString();
    job.folder = ui_->Repertoire->text().toStdString();
    job.menu = ui_->Menu->text().toStdString();
    job.startup = vantor::SpecialFolder(vantor::FolderKind::Startup, vantor::RunningAsRoot());
    job.home = QDir::homePath().toStdString();
    job.french = ui_->RadioFrench->isChecked();
    job.ini = &ini_;
    job.store = &store_;
    return job;
}

namespace {
// The main button's caption in the other language; any other caption stays.
QString Translated(const QString& caption, bool french) {
    static const char* const kPairs[][2] = {{"Installer", "Install"}, {"Desinstaller", "Uninstall"}, {"Quitter", "Quit"}};
    for (const auto& p : kPairs)
        if (caption == p[0] || caption == p[1]) return french ? p[0] : p[1];
    return caption;
}
}  // namespace

void TFormInstall::RadioFrenchClick() {
    ui_->MemoFrench->show();
    ui_->MemoEnglish->hide();
    ui_->LabelRepertoire->setText("Répertoire d'installation :");
    ui_->ButtonCancel->setText("Annuler");
    ui_->GroupBox1->setTitle("Répertoires");
    ui_->ButtonInstaller->setText(Translated(ui_->ButtonInstaller->text(), true));
    ui_->RadioFrench->setChecked(true);
}

void TFormInstall::RadioEnglishClick() {
    ui_->MemoEnglish->show();
    ui_->MemoFrench->hide();
    ui_->LabelRepertoire->setText("Installation folder");
    ui_->ButtonCancel->setText("Cancel");
    ui_->GroupBox1->setTitle("Folders");
    ui_->ButtonInstaller->setText(Translated(ui_->ButtonInstaller->text(), false));
    ui_->RadioEnglish->setChecked(true);
}

void TFormInstall::ColourMemos(const QColor& colour) {
    for (QPlainTextEdit* m : {ui_->MemoFrench, ui_->MemoEnglish}) {
        QPalette p = m->palette();
        p.setColor(QPalette::Base, colour);
        m->setPalette(p);
    }
}

void TFormInstall::ButtonInstallerClick() {
    const QString caption = ui_->ButtonInstaller->text();
    if (caption == "Quitter" || caption == "Quit") {
        close();
        return;
    }
    if (installMode) {
        ColourMemos(vantor::RunInstall(Job()) ? QColor(0, 255, 0) : QColor(255, 0, 0));
    } else {
        ui_->Menu->setReadOnly(true);
        ColourMemos(vantor::RunUninstall(Job()) ? QColor(0, 255, 0) : QColor(255, 0, 0));
    }
    ui_->ButtonInstaller->setText(ui_->RadioFrench->isChecked() ? "Quitter" : "Quit");
}

void TFormInstall::ButtonParcourirRepertoireClick() {
    const bool fr = ui_->RadioFrench->isChecked();
    const QString product = Std(version_->productName);
    const QString title = fr ? QString("Choisir où placer le sous-répertoire %1").arg(product)
                             : QString("Choose the folder for %1").arg(product);
    const QString folder = prompter_->BrowseFolder(this, title);
    if (!folder.isEmpty()) ui_->Repertoire->setText(folder + "/" + product);
}

void TFormInstall::ButtonParcourirMenuClick() {
    const bool fr = ui_->RadioFrench->isChecked();
    const QString product = Std(version_->productName);
    const QString title = fr ? QString("Choisir où placer le sous-menu %1").arg(product)
                             : QString("Choose the menu location for %1").arg(product);
    const QString folder = prompter_->BrowseFolder(this, title);
    if (!folder.isEmpty()) ui_->Menu->setText(folder + "/" + product);
}

void TFormInstall::showEvent(QShowEvent* event) {
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

namespace {
std::unique_ptr<TFormInstall> form;
}

bool InstallCheck(int argc, char** argv) {
    if (argc < 2) return false;
    const std::string arg = argv[1];
    if (arg == "-install" || arg == "-uninstall2") {
        installMode = arg == "-install";
        form = std::make_unique<TFormInstall>();
        form->show();
        return true;
    }
    if (arg != "-uninstall") return false;
    // The program cannot delete its own folder while it runs from it: a copy
    // in the temporary folder takes over.
    const std::string program = QCoreApplication::applicationFilePath().toStdString();
    const std::string temp = vantor::TemporaryFolder();
    std::string copy;
    if (vantor::PrepareUninstallCopy(program, temp, &copy) && chdir(temp.c_str()) == 0) {
        char arg0[4096];
        snprintf(arg0, sizeof arg0, "%s", copy.c_str());
        char arg1[] = "-uninstall2";
        char* args[] = {arg0, arg1, nullptr};
        execv(copy.c_str(), args);
    }
    QMessageBox box(QMessageBox::Critical, "Erreur Pré-desinstallation",
                    QString("Unable to copy/Impossible de copier %1\n vers/to %2\n").arg(Std(program), Std(copy)));
    box.exec();
    return true;
}

int InstallExec() { return form ? QCoreApplication::exec() : 1; }
