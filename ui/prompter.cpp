#include "ui/prompter.h"

#include <QFileDialog>
#include <QMessageBox>

Prompter::Answer QtPrompter::Message(QWidget* parent, const QString& title, const QString& text, Icon icon,
                                     bool yesNoCancel) {
    QMessageBox box(icon == Icon::Question ? QMessageBox::Question : QMessageBox::Warning, title, text,
                    yesNoCancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel : QMessageBox::Ok,
                    parent);
    switch (box.exec()) {
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        case QMessageBox::Ok: return Answer::Ok;
        default: return Answer::Cancel;
    }
}

QString QtPrompter::OpenFile(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QString QtPrompter::SaveFile(QWidget* parent, const QString& title, const QString& filter) {
    // The dialog asks before overwriting by default; the window adds ".cod" itself.
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

QString QtPrompter::BrowseFolder(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(parent, title);
}
