// Check from the window, timed from the click on "Vérifier" to "finished" in
// the pane, with the latency of tab clicks made while the pane fills.
// Usage: vantor-ui-bench SOURCE [--subfolders] [--mask MASK]...
// Prints one line: seconds, pane lines, peak memory, tab click latency.
#include <QApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "ui/dialmain.h"
#include "ui/panesink.h"
#include "ui_dialmain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: vantor-ui-bench SOURCE [--subfolders] [--mask MASK]...\n");
        return 2;
    }
    TDial dial;
    dial.show();
    Ui::TDial& f = *dial.Form();
    f.Source->setText(args.takeFirst());
    QStringList masks;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == "--subfolders") f.CheckBoxSousRep->setChecked(true);
        if (a == "--mask" && !args.isEmpty()) masks << args.takeFirst();
    }
    if (!masks.isEmpty()) f.MemoMasques->setPlainText(masks.join('\n'));
    dial.SpeedButtonEffacerClick();

    // A "user" clicks the next tab every 100 ms; each click is timed from the
    // moment it is made to the moment the window has switched the page.
    std::atomic<bool> running{true};
    std::mutex m;
    std::vector<double> latencies;
    QTabWidget* tabs = f.PageControl;
    std::thread user([&running, &m, &latencies, &dial, tabs] {
        while (running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const auto t0 = std::chrono::steady_clock::now();
            QMetaObject::invokeMethod(&dial, [&m, &latencies, tabs, t0] {
                tabs->setCurrentIndex((tabs->currentIndex() + 1) % tabs->count());
                const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
                std::lock_guard<std::mutex> lock(m);
                latencies.push_back(ms);
            }, Qt::QueuedConnection);
        }
    });

    QElapsedTimer clock;
    double seconds = 0;
    QTimer::singleShot(200, &dial, [&] {
        clock.start();
        f.Verifier->click();
        auto* poll = new QTimer(&dial);
        poll->setInterval(1);
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            if (TDial::Busy()) return;
            dial.Pane()->Flush();
            seconds = clock.nsecsElapsed() / 1e9;
            poll->stop();
            QCoreApplication::exit(0);
        });
        poll->start();
    });
    app.exec();
    running = false;
    user.join();

    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::sort(latencies.begin(), latencies.end());
    const double maxMs = latencies.empty() ? 0 : latencies.back();
    const double p99 = latencies.empty() ? 0 : latencies[latencies.size() * 99 / 100];
    const bool finished = f.Sortie->document()->lastBlock().previous().text() == "terminé" ||
                          f.Sortie->document()->lastBlock().text() == "terminé";
    std::printf("seconds=%.3f pane_lines=%d peak_rss_mb=%.0f tab_clicks=%zu tab_p99_ms=%.1f tab_max_ms=%.1f finished=%s\n",
                seconds, f.Sortie->document()->blockCount(), ru.ru_maxrss / 1024.0, latencies.size(), p99, maxMs,
                finished ? "yes" : "no");
    return finished ? 0 : 1;
}
