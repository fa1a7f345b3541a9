// vantor: the desktop window.
#include <QAction>
#include <QMessageBox>
#include <QTextStream>
#include <QTimer>
#include <clocale>
#include <exception>

#include "install/forminstall.h"
#include "ui/aboutbox.h"
#include "ui/application.h"
#include "ui/dialmain.h"
#include "ui/help.h"
#include "ui/lstconf.h"
#include "ui_dialmain.h"

extern "C" const char* VantorVersionBlock();  // build/version_block.c

namespace {

// "--grab FILE": shows the window, writes a picture of it to FILE and quits
// (for CI, under a real display server).
QString GrabPath(const QStringList& args) {
    const qsizetype i = args.indexOf("--grab");
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

// "--test STEP...", for the restart test (ui/tests/restart_test.cmake): after
// the window is shown, runs each step ("english", "open=PATH": a recent
// entry's click on PATH, "state": prints the caption, the language, the help
// file, two English texts and the recent entries), then quits as a user would.
void RunTestSteps(TDial& dial, const QStringList& steps) {
    QTextStream out(stdout);
    for (const QString& step : steps) {
        if (step == "english") {
            dial.English1Click();
        } else if (step.startsWith("open=")) {
            QAction entry(step.mid(5));
            dial.FichierSeparateurClick(&entry);
        } else if (step == "state") {
            out << "caption=" << dial.windowTitle() << "\nFrench=" << (vantor::French ? 1 : 0) << "\nhelp=" << HelpFile()
                << "\nVerifier=" << dial.Form()->Verifier->text()
                << "\nFichierQuitter=" << dial.Form()->FichierQuitter->text() << "\n";
            if (dial.Recent())
                for (const QAction* a : dial.Recent()->Entries()) out << "recent=" << a->text() << "\n";
        }
    }
    out.flush();
    dial.close();
}

}  // namespace

int main(int argc, char** argv) {
    // Keeps the version block in the program file for TVersion.
    volatile const char* versionBlock = VantorVersionBlock();
    (void)versionBlock;
    VantorApplication app(argc, argv);
    // Messages are formatted the same whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    if (InstallCheck(argc, argv)) return InstallExec();
    try {
        SetHelpFile("VANTOR.html");
        TDial dial;
        TAboutBox about;  // hidden until "&A propos..."
        dial.SetAboutBox(&about);
        dial.show();
        const QString grab = GrabPath(app.arguments());
        if (!grab.isEmpty())
            QTimer::singleShot(500, &dial, [&] {
                const bool ok = dial.grab().save(grab);
                QApplication::exit(ok ? 0 : 1);
            });
        const qsizetype test = app.arguments().indexOf("--test");
        if (test >= 0)
            QTimer::singleShot(0, &dial, [&] { RunTestSteps(dial, app.arguments().mid(test + 1)); });
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Vantor", QString::fromUtf8(e.what()));
        return 1;
    }
}
