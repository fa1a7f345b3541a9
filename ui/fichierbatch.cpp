#include "ui/fichierbatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <exception>

#include "config/command.h"

using namespace vantor;

namespace {
std::atomic<int> filesFound{0};
}

int TFichierBatch::FilesFound() { return filesFound.load(); }

TFichierBatch::TFichierBatch(BatchJob job, std::function<void()> ended)
    : job_(std::move(job)), ended_(std::move(ended)) {
    thread_ = std::thread(&TFichierBatch::Execute, this);
}

TFichierBatch::~TFichierBatch() {
    if (thread_.joinable()) thread_.join();
}

void TFichierBatch::Execute() {
    const bool registered = ConsoleRegisterThread(&console, this);
    try {
        if (!registered) throw std::runtime_error("console thread table full");
        std::string destination;
        if (Settings.designMode)
            destination = job_.destinationDesign;
        else if (Settings.couverture)
            destination = job_.destination;
        filesFound = 0;
        filesFound = CountBatchFiles(job_.source);
        RunBatchCommand(job_.source, destination, &job_.dictionary);
    } catch (const std::exception& e) {
        // RunBatchCommand has cleared designMode; the run is reported as broken.
        ConsolePrintColor(&console, kColorRed, Tr("erreur: %s\n", "error: %s\n"), e.what());
        PrintClosingWord();
    } catch (...) {
        ConsolePrintColor(&console, kColorRed, "%s", Tr("erreur inconnue\n", "unknown error\n"));
        PrintClosingWord();
    }
    Settings.designMode = false;
    if (registered) ConsoleUnregisterThread(&console);
    // The end steps on the window thread, after the run's last message: the
    // console's queue takes them, or the event loop where it has none. The
    // thread object is joined there.
    std::function<void()> end = [this] {
        std::function<void()> ended = std::move(ended_);
        delete this;
        if (ended) ended();
    };
    if (!ConsoleGetDispatcher()->Post(end))
        QMetaObject::invokeMethod(QCoreApplication::instance(), end, Qt::QueuedConnection);
}
