// What the window's tests share: a prompter that answers as told and keeps
// what it was asked, a run that waits for the worker, and the pane's text
// with its colours and underline in the console's ANSI form.
#pragma once

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include "ui/dialmain.h"
#include "ui/panesink.h"
#include "ui/prompter.h"
#include "ui_dialmain.h"

class ScriptedPrompter : public Prompter {
public:
    Answer answer = Answer::Cancel;
    QString file;    // OpenFile and SaveFile answer this
    QString folder;  // BrowseFolder answers this
    QStringList asked;  // "message:TEXT", "open:TITLE", "save:TITLE", "folder:TITLE"

    Answer Message(QWidget*, const QString&, const QString& text, Icon, bool) override {
        asked << "message:" + text;
        return answer;
    }
    QString OpenFile(QWidget*, const QString& title, const QString&) override {
        asked << "open:" + title;
        return file;
    }
    QString SaveFile(QWidget*, const QString& title, const QString&) override {
        asked << "save:" + title;
        return file;
    }
    QString BrowseFolder(QWidget*, const QString& title) override {
        asked << "folder:" + title;
        return folder;
    }
};

// The user's and the machine's settings go to a folder of the test's own.
inline void UseTemporarySettings(const QString& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder + "/user");
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, folder + "/system");
}

// Clicks `button` and waits until the run it started is over.
inline bool ClickAndWait(QAbstractButton* button, int timeoutMs = 60000) {
    button->click();
    QElapsedTimer t;
    t.start();
    while (TDial::Busy() && t.elapsed() < timeoutMs) QTest::qWait(5);
    return !TDial::Busy();
}

// Text with the escapes the terminal sink writes: each run of one look is
// "\x1b[CODESm" TEXT "\x1b[0m", lines apart.
inline QString AnsiRun(const QString& text, bool red, bool green, bool underline) {
    QStringList codes;
    if (underline) codes << "4";
    if (red) codes << "31";
    if (green) codes << "32";
    if (codes.isEmpty()) return text;
    return "\x1b[" + codes.join(';') + "m" + text + "\x1b[0m";
}

inline QString PaneAnsi(QPlainTextEdit* pane) {
    QStringList lines;
    for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
        QString line;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            const bool coloured = f.hasProperty(QTextFormat::ForegroundBrush);
            const QColor c = f.foreground().color();
            line += AnsiRun(it.fragment().text(), coloured && c == QColor(255, 0, 0),
                            coloured && c == QColor(0, 128, 0), f.fontUnderline());
        }
        lines << line;
    }
    return lines.join('\n');
}

// The run's text without its date line (and without the pane's last empty line).
inline QString WithoutDate(QString text) {
    text.remove(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\n", QRegularExpression::MultilineOption));
    while (text.endsWith('\n')) text.chop(1);
    return text;
}

// vantor-cli's stdout for `args`, run in `folder`, with colours.
inline QString CliOutput(const QStringList& args, const QString& folder) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(VANTOR_CLI_PATH, QStringList{"--lang", "fr", "--color", "always"} + args);
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline bool CopyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    return QProcess::execute("cp", {"-r", from + "/.", to}) == 0;
}
