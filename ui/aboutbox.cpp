#include "ui/aboutbox.h"

#include <QCoreApplication>
#include <QScreen>

#include "platform/version.h"
#include "ui/versionlabels.h"
#include "ui_aboutbox.h"

// The program image is in ui/vantor.qrc, compiled into the window's static
// library: nothing there would register it otherwise.
static void LoadImages() { Q_INIT_RESOURCE(vantor); }

TAboutBox::TAboutBox(const QString& programPath, QWidget* parent) : QDialog(parent), ui_(new Ui::TAboutBox) {
    LoadImages();
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(287, 194);
    setModal(false);
    const QString path = programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath;
    FillVersionLabels(TVersion(path.toStdString()), ui_->ProductName, ui_->Version, ui_->Description, ui_->Societe,
                      ui_->Copyright, ui_->TradeMark);
    MakeMakerLink(ui_->Label2);
    connect(ui_->OKButton, &QPushButton::clicked, this, &QDialog::hide);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::showEvent(QShowEvent* event) {
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}
