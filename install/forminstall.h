// The installer window: the welcome texts or the uninstaller's warning in a
// French and an English memo, the two folders, and the one button that
// installs or uninstalls and then quits. The steps themselves are in
// install/installer.h.
#pragma once

#include <QDialog>
#include <memory>

#include "install/installer.h"

namespace Ui {
class TFormInstall;
}
class Prompter;
class MemoWidgetSink;
struct TVersion;

extern bool installMode;  // true: "-install"; false: "-uninstall2"

// The registry keys: the settings store in system scope where it can be
// written, else in the user's; the user's own keys are the user scope.
class SettingsKeyStore : public vantor::KeyStore {
public:
    SettingsKeyStore();
    bool CreateKey(const std::string& key) override;
    void WriteString(const std::string& key, const std::string& name, const std::string& value) override;
    void WriteInteger(const std::string& key, const std::string& name, int value) override;
    bool ReadString(const std::string& key, const std::string& name, std::string* value) override;
    void DeleteKey(const std::string& key) override;
    std::vector<std::string> UserNames() override;
    void DeleteUserKey(const std::string& user, const std::string& key) override;
    bool SystemScope() const { return system_; }

private:
    bool system_;
};

class TFormInstall : public QDialog {
    Q_OBJECT
public:
    // programPath: the program file whose version texts are shown (by default this one).
    explicit TFormInstall(const QString& programPath = QString(), QWidget* parent = nullptr);
    ~TFormInstall() override;

    void RadioFrenchClick();
    void RadioEnglishClick();
    void ButtonInstallerClick();
    void ButtonParcourirRepertoireClick();
    void ButtonParcourirMenuClick();
    void SetPrompter(Prompter* prompter) { prompter_ = prompter; }

    Ui::TFormInstall* Form() { return ui_.get(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    vantor::InstallJob Job();
    void ColourMemos(const QColor& colour);

    std::unique_ptr<Ui::TFormInstall> ui_;
    std::unique_ptr<TVersion> version_;
    std::unique_ptr<MemoWidgetSink> frenchSink_, englishSink_;
    std::unique_ptr<Prompter> ownPrompter_;
    Prompter* prompter_;
    SettingsKeyStore store_;
    vantor::InstallIni ini_;
    QString programName_;
};

// At program entry: true when the installer takes over the run ("-install",
// "-uninstall", "-uninstall2" as first argument, compared exactly); then
// InstallExec runs it.
bool InstallCheck(int argc, char** argv);
int InstallExec();
