#include "ui/versionlabels.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

#include "platform/version.h"

namespace {

// Lives as the label's child: the click is the label's, whatever window holds it.
class LinkOpener : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            QDesktopServices::openUrl(QUrl(kMakerPage));
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void FillVersionLabels(const TVersion& v, QLabel* productName, QLabel* version, QLabel* description,
                       QLabel* company, QLabel* copyright, QLabel* trademark) {
    // The texts are 8-bit in the system's code page: UTF-8 here.
    auto q = [](const std::string& s) { return QString::fromStdString(s); };
    productName->setText(q(v.productName));
    version->setText("Version=" + q(v.fileVersion));
    description->setText(q(v.description));
    company->setText(q(v.company));
    copyright->setText(q(v.copyright));
    trademark->setText(q(v.trademarks));
}

void MakeMakerLink(QLabel* label) {
    QFont link = label->font();
    link.setUnderline(true);
    label->setFont(link);
    label->setStyleSheet("color: #0000ff;");
    label->setCursor(Qt::PointingHandCursor);
    label->setText(kMakerPage);
    label->installEventFilter(new LinkOpener(label));
}
