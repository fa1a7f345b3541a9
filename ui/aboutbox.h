// The about box: the program's own version texts, read once at creation from
// its program file, and a link to the project's page. One for the whole run,
// created hidden, shown without being modal.
#pragma once

#include <QDialog>
#include <memory>

#include "ui/versionlabels.h"

namespace Ui {
class TAboutBox;
}

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // `programPath`: the file whose version block is shown (the running program by default).
    explicit TAboutBox(const QString& programPath = QString(), QWidget* parent = nullptr);
    ~TAboutBox() override;
    Ui::TAboutBox* Form() const { return ui_.get(); }

    static constexpr const char* kWebPage = kMakerPage;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TAboutBox> ui_;
};
