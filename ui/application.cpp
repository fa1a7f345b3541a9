#include "ui/application.h"

#include <QMessageBox>
#include <exception>

VantorApplication::VantorApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Vantor");
    setOrganizationName("Belvane");
}

bool VantorApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        QMessageBox::critical(activeWindow(), applicationName(), QString::fromUtf8(e.what()));
    } catch (...) {
        QMessageBox::critical(activeWindow(), applicationName(), "Unknown error");
    }
    return false;
}
