// The application object: an error raised by a handler is shown in the
// standard error box and the event loop goes on.
#pragma once

#include <QApplication>

class VantorApplication : public QApplication {
public:
    VantorApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
