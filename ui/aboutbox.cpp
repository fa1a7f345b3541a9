#include "ui/aboutbox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>

#include "platform/version.h"
#include "ui_aboutbox.h"

// The project's page (no public site yet: a reserved example domain).
const char* const TAboutBox::kWebPage = "https://vantor.belvane.example/";

TAboutBox::TAboutBox(const QString& programPath, QWidget* parent) : QDialog(parent), ui_(new Ui::TAboutBox) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(287, 194);
    setModal(false);
    const QString path = programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath;
    {
        // The texts are 8-bit in the system's code page: UTF-8 here.
        const TVersion v(path.toStdString());
        auto q = [](const std::string& s) { return QString::fromStdString(s); };
        ui_->ProductName->setText(q(v.productName));
        ui_->Version->setText("Version=" + q(v.fileVersion));
        ui_->Description->setText(q(v.description));
        ui_->Societe->setText(q(v.company));
        ui_->Copyright->setText(q(v.copyright));
        ui_->TradeMark->setText(q(v.trademarks));
    }
    QFont link = ui_->Label2->font();
    link.setUnderline(true);
    ui_->Label2->setFont(link);
    ui_->Label2->setStyleSheet("color: #0000ff;");
    ui_->Label2->setText(kWebPage);
    ui_->Label2->installEventFilter(this);
    connect(ui_->OKButton, &QPushButton::clicked, this, &QDialog::hide);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::showEvent(QShowEvent* event) {
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Label2 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        QDesktopServices::openUrl(QUrl(kWebPage));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
