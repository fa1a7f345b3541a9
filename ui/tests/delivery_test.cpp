// A worker's messages reach the pane on the window thread, in order and all
// of them, while the window thread prints too and the pane is frozen and
// thawed. Also run under ThreadSanitizer (see README).
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <atomic>
#include <thread>

#include <QTemporaryDir>
#include <fstream>

#include "config/command.h"
#include "console/console.h"
#include "ui/fichierbatch.h"
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

    // Prints a line and toggles the freeze box now and then, on the window
    // thread, until `over` says the worker is done; then thaws.
    template <class Over>
    static int PrintAndToggleUntil(Over over) {
        int lines = 0;
        while (!over()) {
            ConsolePrintStyle(&console, fsUnderline, "m%d\n", lines++);
            if (lines % 5 == 0) (lines / 5) % 2 ? ConsoleFreeze(&console) : ConsoleUnfreeze(&console);
            QTest::qWait(1);
        }
        ConsoleUnfreeze(&console);
        return lines;
    }

private slots:
    void workerAndWindowPrintWhileFreezing() {
        QPlainTextEdit pane;
        PaneSink sink(&pane);
        QtConsoleDispatcher dispatcher;
        ConsoleSetDispatcher(&dispatcher);
        ConsoleAttach(&console, &sink);
        dispatcher.Begin();

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

    // The batch worker itself: a Check whose every line is a violation.
    void batchWorkerRunWhileTheWindowPrints() {
        constexpr int kLines = 30000;
        QTemporaryDir dir;
        const std::string file = dir.filePath("many.c").toStdString();
        {
            std::ofstream out(file);
            out << "int f(int a)\n{\n";
            for (int i = 0; i < kLines; ++i) out << "   a++; a++;\n";
            out << "}\n";
        }
        QPlainTextEdit pane;
        PaneSink sink(&pane);
        QtConsoleDispatcher dispatcher;
        dispatcher.holdBack = [&] { return sink.Backlogged(); };
        ConsoleSetDispatcher(&dispatcher);
        dispatcher.Begin();
        ConsoleAttach(&console, &sink);
        French = true;
        ResetSettings();
        SetRunFlags(BatchCommand::Check, false);

        bool ended = false;
        new TFichierBatch(BatchJob{file, "", "", Dictionary()}, [&] { ended = true; });
        const int windowLines = PrintAndToggleUntil([&] { return ended; });
        ConsolePump();
        sink.Flush();
        ConsoleDetach(&console);
        ConsoleSetDispatcher(nullptr);

        // Every violation, in line order, then the statistics and the closing word.
        std::vector<int> violations;
        for (QTextBlock b = pane.document()->begin(); b.isValid(); b = b.next())
            if (b.text().endsWith(":>1 instruction par ligne")) violations.push_back(b.text().section(':', 0, 0).toInt());
        QCOMPARE(static_cast<int>(violations.size()), kLines);
        for (int i = 0; i < kLines; ++i) QCOMPARE(violations[i], i + 3);
        QVERIFY(IsSequence(Numbers(pane, 'm'), windowLines));
        QString last;  // the run's last line: the window's own may follow it
        for (QTextBlock b = pane.document()->begin(); b.isValid(); b = b.next())
            if (!b.text().startsWith('m') && !b.text().isEmpty()) last = b.text();
        QCOMPARE(last, QString("terminé"));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    DeliveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "delivery_test.moc"
