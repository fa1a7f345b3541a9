// The main window: every setting as a control, the configuration commands,
// the six batch commands on a worker thread, Analyse on the window's own
// thread, and the output pane the console writes into.
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

#include "config/command.h"
#include "config/settings.h"

namespace Ui {
class TDial;
}
class PaneSink;
class Prompter;
class QtConsoleDispatcher;
class TFichierBatch;
class TLstConf;
class QAction;
class QCloseEvent;
class QWidget;

class TDial : public QMainWindow {
    Q_OBJECT
public:
    // `prompter`: who answers the window's questions (the tests' own one, or
    // the real dialogs when null). Binds the console to the pane.
    explicit TDial(Prompter* prompter = nullptr, QWidget* parent = nullptr);
    ~TDial() override;

    Ui::TDial* Form() const { return ui_.get(); }
    PaneSink* Pane() const { return sink_.get(); }
    bool Modified() const { return modified_; }
    // A batch run is in progress: the busy cursor is set.
    static bool Busy();

    void ControlsToSettings();
    void SettingsToControls();
    // The grid's rows as the dictionary of a run or a save (rows without an
    // old name are left out).
    vantor::Dictionary DictionaryFromGrid() const;
    void ShowConfigName(const QString& name);
    // The help keyword of the page in use (the help key opens its topic).
    QString HelpKeyword() const;
    // The about box "&A propos..." shows (created at program entry).
    void SetAboutBox(QWidget* box) { aboutBox_ = box; }
    TLstConf* Recent() const { return recent_.get(); }

    // Opens `path` at `line` in the user's editor; the tests replace it.
    std::function<void(const QString& path, int line)> openInEditor;

public slots:
    void VerifierClick();
    void ButtonIndenterClick();
    void ButtonDesignClick();
    void InstrumentationClick();
    void RechercherClick();
    void RemplaceClick();
    void CovDecClick();

    void FichierNouveauClick();
    void FichierOuvrirClick();
    void FichierEnregistrerClick();
    void FichierEnregistrerSousClick();
    void FichierQuitterClick();
    // A recent-file entry of the menu: its caption is the path; the anchor
    // FichierSeparateur does nothing.
    void FichierSeparateurClick(QAction* entry);

    void BitBtnParcourirClick();
    void BitBtn1Click();
    void BitBtn5Click();
    void BitBtn2Click();
    void BitBtn3Click();

    void SpeedButtonEffacerClick();
    void SpeedButtonSaveClick();
    void CheckBoxFreezeClick(bool checked);

    void Change();
    void ValueListEditorDicoSetEditText(int row, int column);

    void English1Click();
    void Franais1Click();
    void AideIndexClick();
    void AideAProposClick();

    // Opens the file of the violation line `block` of the pane, if it is one.
    bool OpenViolation(int block);

protected:
    void closeEvent(QCloseEvent* event) override;  // FormCloseQuery
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StartBatch(vantor::BatchCommand command);
    void RunEnded();
    void SetSettingsEditable(bool editable);
    void FillGrid(const vantor::Dictionary& dictionary);
    // Open, a recent entry: the configuration into Settings, the grid and the controls.
    void OpenConfiguration(const QString& path);
    // Save, Save as: false (reported in the pane) when nothing was saved.
    bool SaveConfigurationTo(const std::string& path);
    void Browse(QWidget* field, const QString& fr, const QString& en);
    void OnTitle(const std::string& text);
    void ShowProgress();

    std::unique_ptr<Ui::TDial> ui_;
    std::unique_ptr<Prompter> ownPrompter_;
    Prompter* prompter_;
    std::unique_ptr<QtConsoleDispatcher> dispatcher_;
    std::unique_ptr<PaneSink> sink_;
    std::unique_ptr<TLstConf> recent_;
    TFichierBatch* worker_ = nullptr;  // the run in progress, if any
    bool modified_ = false;
    bool closeWhenIdle_ = false;
    bool destroying_ = false;
    bool shownOnce_ = false;
    QWidget* aboutBox_ = nullptr;
    // Dialog titles: French in the window definition, English after the switch.
    QString openDialog1Title_ = "Lire la configuration sous ...";
    QString saveDialog1Title_ = "Enregistrer la configuration sous...";
    QString openDialog2Title_ = "Sélectionnez le fichier à traiter";
    QStringList gridKeys_;  // old names as they were before the last edit
    // Progress of the run: files whose name was printed, the last of them.
    bool running_ = false;
    int filesDone_ = 0;
    QString currentFile_;
};
