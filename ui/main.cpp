// vantor: the desktop window.
#include <QMessageBox>
#include <QTimer>
#include <clocale>
#include <exception>

#include "install/forminstall.h"
#include "ui/aboutbox.h"
#include "ui/application.h"
#include "ui/dialmain.h"
#include "ui/help.h"

extern "C" const char* VantorVersionBlock();  // build/version_block.c

namespace {

// "--grab FILE": shows the window, writes a picture of it to FILE and quits
// (for CI, under a real display server).
QString GrabPath(const QStringList& args) {
    const qsizetype i = args.indexOf("--grab");
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
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
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Vantor", QString::fromUtf8(e.what()));
        return 1;
    }
}
