// The window's questions to the user: message boxes, file dialogs and the
// folder dialog. The window asks through this interface so that the tests
// can answer in place of a person.
#pragma once

#include <QString>

class QWidget;

class Prompter {
public:
    enum class Answer { Yes, No, Cancel, Ok };
    enum class Icon { Question, Warning };

    virtual ~Prompter() = default;
    // yesNoCancel: the buttons Yes, No and Cancel; otherwise OK alone.
    virtual Answer Message(QWidget* parent, const QString& title, const QString& text, Icon icon,
                           bool yesNoCancel) = 0;
    // Empty when cancelled. `filter` is in Qt's form ("Configurations (*.cod);;...").
    virtual QString OpenFile(QWidget* parent, const QString& title, const QString& filter) = 0;
    // Asks before overwriting and wants an existing folder; no suffix is added here.
    virtual QString SaveFile(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QString BrowseFolder(QWidget* parent, const QString& title) = 0;
};

// QMessageBox and QFileDialog.
class QtPrompter : public Prompter {
public:
    Answer Message(QWidget* parent, const QString& title, const QString& text, Icon icon, bool yesNoCancel) override;
    QString OpenFile(QWidget* parent, const QString& title, const QString& filter) override;
    QString SaveFile(QWidget* parent, const QString& title, const QString& filter) override;
    QString BrowseFolder(QWidget* parent, const QString& title) override;
};
