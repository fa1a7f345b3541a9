// A worker's messages reach the pane on the window thread, in order and all
// of them, while the window thread prints too and the pane is frozen and
// thawed. Also built under ThreadSanitizer (see README).
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <atomic>
#include <thread>

#include "console/console.h"
#include "ui/panesink.h"
#include "ui/qtdispatcher.h"

using namespace vantor;

namespace {

class Worker : public TThreadConsole {};

// The numbers of the lines that start with `tag`, in pane order.
std::vector<int> Numbers(const QPlainTextEdit& pane, QChar tag) {
    std::vector<int> n;
    for (QTextBlock b = pane.document()->begin(); b.isValid(); b = b.next())
        if (b.text().startsWith(tag)) n.push_back(b.text().mid(1).toInt());
    return n;
}

bool IsSequence(const std::vector<int>& n, int count) {
    if (static_cast<int>(n.size()) != count) return false;
    for (int i = 0; i < count; ++i)
        if (n[i] != i) return false;
    return true;
}

}  // namespace

class DeliveryTest : public QObject {
    Q_OBJECT
private slots:
    void workerAndWindowPrintWhileFreezing() {
        QPlainTextEdit pane;
        PaneSink sink(&pane);
        QtConsoleDispatcher dispatcher;
        ConsoleSetDispatcher(&dispatcher);
        ConsoleAttach(&console, &sink);

        constexpr int kWorkerLines = 40000;
        std::atomic<bool> done{false};
        std::atomic<int> windowPrinted{0};
        std::thread worker([&] {
            Worker self;
            ConsoleRegisterThread(&console, &self);
            for (int i = 0; i < kWorkerLines; ++i) {
                // The window thread keeps pace: it prints between every 500 of these.
                while (windowPrinted < i / 500) std::this_thread::yield();
                if (i % 3 == 0)
                    ConsolePrintColor(&console, kColorRed, "w%d\n", i);
                else
                    ConsolePrint(&console, "w%d\n", i);
            }
            ConsoleUnregisterThread(&console);
            done = true;
        });

        // The window thread prints and toggles the freeze box while the worker runs.
        int windowLines = 0, toggles = 0;
        bool frozenStayedStill = true;
        while (!done) {
            ConsolePrintStyle(&console, fsUnderline, "m%d\n", windowLines++);
            windowPrinted = windowLines;
            if (windowLines % 5 == 0) {
                if (toggles++ % 2 == 0) {
                    ConsoleFreeze(&console);
                    sink.Flush();
                    const int before = pane.blockCount();
                    QTest::qWait(1);
                    sink.Flush();
                    frozenStayedStill = frozenStayedStill && !sink.HasPending() && pane.blockCount() == before;
                } else {
                    ConsoleUnfreeze(&console);
                }
            }
            QTest::qWait(1);
        }
        worker.join();
        ConsoleUnfreeze(&console);
        sink.Flush();
        ConsoleDetach(&console);
        ConsoleSetDispatcher(nullptr);

        QVERIFY(toggles > 10);
        QVERIFY(frozenStayedStill);
        QVERIFY(IsSequence(Numbers(pane, 'w'), kWorkerLines));
        QVERIFY(IsSequence(Numbers(pane, 'm'), windowLines));
        // Colours and styles stay with their messages.
        const QTextBlock red = pane.document()->find("w3").block();
        QCOMPARE(red.begin().fragment().charFormat().foreground().color(), QColor(255, 0, 0));
        QVERIFY(!pane.document()->find("w4").block().begin().fragment().charFormat().hasProperty(
            QTextFormat::ForegroundBrush));
        QVERIFY(pane.document()->find("m0").block().begin().fragment().charFormat().fontUnderline());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    DeliveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "delivery_test.moc"
