#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/console.h"
#include "console/recording_sink.h"
#include "console/terminal_sink.h"

using namespace vantor;
using std::chrono::milliseconds;

namespace {

constexpr uint32_t kPaneColour = 0x123456;

RecordedPiece Piece(const std::string& text, uint32_t colour = kPaneColour, uint8_t style = 0) {
    return {text, colour, style, {}};
}

// Runs `print` with a memo console and returns the memo's lines.
template <class F>
std::vector<std::string> Memo(F print, size_t maxLines = 0) {
    TConsole c;
    RecordingMemoSink memo(maxLines);
    ConsoleAttach(&c, &memo, true);
    print(&c);
    return memo.lines;
}

std::vector<std::string> MemoOf(std::initializer_list<const char*> messages, size_t maxLines = 0) {
    return Memo([&](TConsole* c) { for (const char* m : messages) ConsolePrint(c, "%s", m); }, maxLines);
}

// A worker thread as the batch worker will be: registered for its whole run.
struct Worker : TThreadConsole {
    template <class F>
    Worker(TConsole* c, F body) : thread([this, c, body] {
        registered = ConsoleRegisterThread(c, this);
        body();
        ConsoleUnregisterThread(c);
    }) {}
    ~Worker() override { thread.join(); }
    std::atomic<bool> registered{false};
    std::thread thread;
};

// Main thread: serve hand-overs until `done` holds.
template <class P>
void PumpUntil(P done) {
    while (!done()) ConsolePump(milliseconds(5));
}

}  // namespace

TEST(Console, ColourAndStyleSelection) {
    TConsole c;
    RecordingSink sink(kPaneColour);
    ConsoleAttach(&c, &sink);
    EXPECT_EQ(ConsolePrint(&c, "%04d:%s\n", 3, "plain"), 11);
    ConsolePrintColor(&c, kColorRed, "red\n");
    ConsolePrint(&c, "after red\n");
    ConsolePrintStyle(&c, fsUnderline, "title\n");
    ConsolePrintColor(&c, kColorGreen, "ok");
    ConsolePrint(&c, "\n");
    EXPECT_EQ(sink.pieces, (std::vector<RecordedPiece>{
                               Piece("0003:plain\n"), Piece("red\n", kColorRed), Piece("after red\n"),
                               Piece("title\n", kPaneColour, fsUnderline), Piece("ok", kColorGreen),
                               Piece("\n")}));
    ConsoleDetach(&c);
    ConsolePrint(&c, "gone\n");
    EXPECT_EQ(sink.pieces.size(), 6u);
}

TEST(Console, FreezeHoldsMessagesInOrderWithColours) {
    TConsole c;
    RecordingSink sink(kPaneColour);
    ConsoleAttach(&c, &sink);
    ConsoleFreeze(&c);
    ConsolePrintColor(&c, kColorRed, "0001:one\n");
    ConsolePrintStyle(&c, fsUnderline, "two\n");
    ConsolePrint(&c, "three\n");
    EXPECT_TRUE(sink.pieces.empty());
    ConsoleFreeze(&c);  // a second freeze keeps what is held
    ConsolePrintColor(&c, kColorGreen, "four\n");
    ConsoleUnfreeze(&c);
    ConsolePrint(&c, "live\n");
    ConsoleUnfreeze(&c);  // not frozen: nothing replayed twice
    EXPECT_EQ(sink.pieces, (std::vector<RecordedPiece>{Piece("0001:one\n", kColorRed),
                                                       Piece("two\n", kPaneColour, fsUnderline),
                                                       Piece("three\n"), Piece("four\n", kColorGreen),
                                                       Piece("live\n")}));
}

TEST(Console, FrozenMessagesAreReleasedWithTheConsole) {
    RecordingSink sink;
    {
        TConsole c;
        ConsoleAttach(&c, &sink);
        ConsoleFreeze(&c);
        ConsolePrint(&c, "held\n");
    }  // the sanitizer build reports a leak if the held block is not freed
    EXPECT_TRUE(sink.pieces.empty());
}

TEST(Console, MemoLineRules) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(MemoOf({"abc", "def\n"}), Lines({"abcdef"}));
    EXPECT_EQ(MemoOf({"working 10%", "\rdone\n"}), Lines({"done"}));
    EXPECT_EQ(MemoOf({"head\n", "10%", "\r20%", "\rdone\n"}), Lines({"head", "done"}));
    EXPECT_EQ(MemoOf({"a\n", "\rb\n"}), Lines({"a", "b"}));  // nothing open: only the "\r" goes
    EXPECT_EQ(MemoOf({"a\nb\nc", "d\n", "\n"}), Lines({"a", "b", "cd", ""}));
    EXPECT_EQ(MemoOf({"x", "\ry", "\rz", "!\n", "next\n"}), Lines({"z!", "next"}));
    EXPECT_EQ(MemoOf({"", "a\n"}), Lines({"a"}));
    // A full memo drops its oldest lines to take the new one.
    EXPECT_EQ(MemoOf({"1\n2\n3\n", "4\n", "5", "+\n"}, 3), Lines({"3", "4", "5+"}));
}

TEST(Console, MemoModeDropsColoursAndStyles) {
    TConsole c;
    RecordingSink plain(kPaneColour, fsBold);
    ConsoleAttach(&c, &plain, true);
    ConsolePrintColor(&c, kColorRed, "r\n");
    ConsolePrintStyle(&c, fsUnderline, "u\n");
    ConsolePrint(&c, "p\n");
    EXPECT_EQ(plain.pieces, (std::vector<RecordedPiece>{Piece("r\n", 0), Piece("u\n", 0), Piece("p\n", 0)}));

    auto held = Memo([](TConsole* m) {
        ConsoleFreeze(m);
        ConsolePrintColor(m, kColorRed, "part ");
        ConsolePrint(m, "one\n");
        ConsoleUnfreeze(m);
    });
    EXPECT_EQ(held, std::vector<std::string>({"part one"}));
}

TEST(Console, LongMessagesAreCutAt1999Bytes) {
    TConsole c;
    RecordingSink sink;
    ConsoleAttach(&c, &sink);
    const std::string exact(1999, 'x');
    const std::string longer(5000, 'y');
    EXPECT_EQ(ConsolePrint(&c, "%s", exact.c_str()), 1999);
    EXPECT_EQ(ConsolePrintColor(&c, kColorRed, "%s", (longer + "\n").c_str()), 1999);
    ConsoleFreeze(&c);
    EXPECT_EQ(ConsolePrint(&c, "%s%s", longer.c_str(), longer.c_str()), 1999);
    ConsoleUnfreeze(&c);
    ASSERT_EQ(sink.pieces.size(), 3u);
    EXPECT_EQ(sink.pieces[0].text, exact);
    EXPECT_EQ(sink.pieces[1].text, std::string(1999, 'y'));
    EXPECT_EQ(sink.pieces[2].text, std::string(1999, 'y'));
}

TEST(Console, WriteOfASliceIsPrintOfPercentDotStarS) {
    const std::string text = std::string("ab\0cd", 5) + std::string(3000, 'z');
    const size_t slices[][2] = {{0, 2}, {0, 5}, {3, 2}, {3, 2500}, {1, 0}};
    for (const auto& sl : slices) {
        TConsole c;
        RecordingSink written, printed;
        ConsoleAttach(&c, &written);
        const int n = ConsoleWrite(&c, text.data() + sl[0], sl[1]);
        ConsoleAttach(&c, &printed);
        EXPECT_EQ(n, ConsolePrint(&c, "%.*s", static_cast<int>(sl[1]), text.data() + sl[0]));
        EXPECT_EQ(written.pieces, printed.pieces) << sl[0] << "+" << sl[1];
    }
}

TEST(Console, NoSinkNoMainThreadDoesNotCrash) {
    TConsole c;
    EXPECT_EQ(ConsolePrint(&c, "%d\n", 42), 3);
    ConsoleFreeze(&c);
    ConsolePrintColor(&c, kColorRed, "held\n");
    ConsoleUnfreeze(&c);
    EXPECT_EQ(ConsolePrint(nullptr, "x"), 1);
    // A registered worker of a console without a pane must not wait for a
    // hand-over: this main thread joins it without serving anything.
    TConsole other;
    RecordingSink sink;
    ConsoleAttach(&other, &sink);
    ConsoleDetach(&other);
    int n = 0;
    { Worker w(&other, [&] { n = ConsolePrint(&other, "worker\n"); }); }
    EXPECT_EQ(n, 7);
}

TEST(Console, WorkerAndMainInterleaveInPrintOrder) {
    TConsole c;
    RecordingSink sink;
    ConsoleAttach(&c, &sink);
    std::mutex m;
    std::condition_variable cv;
    int turn = 0;  // even: the worker prints, odd: the main thread
    constexpr int kRounds = 20;
    Worker w(&c, [&] {
        for (int i = 0; i < kRounds; ++i) {
            { std::unique_lock<std::mutex> lock(m); cv.wait(lock, [&] { return turn == 2 * i; }); }
            ConsolePrintColor(&c, kColorRed, "w%d\n", i);
            { std::lock_guard<std::mutex> lock(m); ++turn; }
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        PumpUntil([&] {
            std::lock_guard<std::mutex> lock(m);
            return turn == 2 * i + 1;
        });
        ConsolePrint(&c, "m%d\n", i);
        { std::lock_guard<std::mutex> lock(m); ++turn; }
        cv.notify_all();
    }
    std::string expected;
    for (int i = 0; i < kRounds; ++i) expected += "w" + std::to_string(i) + "\nm" + std::to_string(i) + "\n";
    EXPECT_EQ(sink.Text(), expected);
    ASSERT_TRUE(w.registered);
    for (const RecordedPiece& p : sink.pieces) {
        EXPECT_EQ(p.thread, std::this_thread::get_id()) << p.text;  // delivered on the main thread
        EXPECT_EQ(p.colour, p.text[0] == 'w' ? kColorRed : 0u) << p.text;
    }
}

TEST(Console, MainThreadServesTheWorkerWhileWaitingForTheLock) {
    TConsole c;
    RecordingSink sink;
    ConsoleAttach(&c, &sink);
    Worker w(&c, [&] { ConsolePrint(&c, "worker first\n"); });
    // The worker now holds the lock and waits for its hand-over; printing here
    // must serve it from the wait loop instead of deadlocking.
    ASSERT_TRUE(ConsoleGetDispatcher()->WaitForCalls(milliseconds(10000)));
    ConsolePrint(&c, "main second\n");
    EXPECT_EQ(sink.Text(), "worker first\nmain second\n");
}

TEST(Console, BusyWorkerDoesNotLockTheMainThreadOut) {
    TConsole c;
    RecordingSink sink;
    ConsoleAttach(&c, &sink);
    constexpr int kWorker = 300, kMain = 3;
    std::atomic<bool> done{false};
    Worker w(&c, [&] {
        for (int i = 0; i < kWorker; ++i) ConsolePrint(&c, "worker %d\n", i);
        done = true;
    });
    // Start once the worker is parked in a hand-over, so that the two collide.
    ASSERT_TRUE(ConsoleGetDispatcher()->WaitForCalls(milliseconds(10000)));
    for (int i = 0; i < kMain; ++i) ConsolePrint(&c, "main %d\n", i);
    PumpUntil([&] { return done.load(); });
    int nextWorker = 0, nextMain = 0;
    for (const RecordedPiece& p : sink.pieces) {
        if (p.text == "worker " + std::to_string(nextWorker) + "\n")
            ++nextWorker;
        else if (p.text == "main " + std::to_string(nextMain) + "\n")
            ++nextMain;
        else
            ADD_FAILURE() << "out of order: " << p.text;
        // Each main print waits for at most the worker's message in flight.
        if (nextMain < kMain) {
            EXPECT_LE(nextWorker, 2 * (nextMain + 1)) << p.text;
        }
    }
    EXPECT_EQ(nextWorker, kWorker);
    EXPECT_EQ(nextMain, kMain);
}

TEST(Console, UnregisteredThreadsAreDropped) {
    TConsole c;
    RecordingSink sink;
    ConsoleAttach(&c, &sink);
    int n = 0;
    std::thread([&] { n = ConsolePrint(&c, "stranger\n"); }).join();
    EXPECT_EQ(n, 9);
    {
        Worker w(&c, [] {});
    }
    std::thread([&] { ConsolePrint(&c, "after unregistering\n"); }).join();
    EXPECT_TRUE(sink.pieces.empty());
}

TEST(Console, RegistrationBeyondTheTableIsRefused) {
    TConsole c;
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    int registered = 0, refused = 0;
    auto body = [&] {
        TThreadConsole self;
        bool ok = ConsoleRegisterThread(&c, &self);
        bool again = ok && ConsoleRegisterThread(&c, &self);  // same thread: same slot
        std::unique_lock<std::mutex> lock(m);
        (ok && again ? registered : refused)++;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
        lock.unlock();
        if (ok) ConsoleUnregisterThread(&c);
    };
    // Every thread stays alive while the table fills, so no identifier is reused.
    std::vector<std::thread> threads;
    for (size_t i = 0; i < kConsoleThreadSlots + 1; ++i) threads.emplace_back(body);
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return registered + refused == static_cast<int>(kConsoleThreadSlots + 1); });
        release = true;
    }
    cv.notify_all();
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(registered, static_cast<int>(kConsoleThreadSlots));
    EXPECT_EQ(refused, 1);
    // Unregistered slots are free again.
    bool later = false;
    std::thread([&] {
        TThreadConsole self;
        later = ConsoleRegisterThread(&c, &self);
        ConsoleUnregisterThread(&c);
    }).join();
    EXPECT_TRUE(later);
}

TEST(TerminalSink, EscapesOnlyWhenEnabled) {
    auto run = [](bool escapes) {
        std::FILE* f = std::tmpfile();
        {
            TerminalSink sink(f, escapes);
            TConsole c;
            ConsoleAttach(&c, &sink);
            ConsolePrintStyle(&c, fsUnderline, "src/a.c\n");
            ConsolePrintColor(&c, kColorRed, "%04d:%s\n", 12, "ligne trop longue");
            ConsolePrintColor(&c, kColorGreen, "found");
            ConsolePrint(&c, " plain\n");
        }
        std::string bytes;
        std::rewind(f);
        for (int ch; (ch = std::fgetc(f)) != EOF;) bytes += static_cast<char>(ch);
        std::fclose(f);
        return bytes;
    };
    EXPECT_EQ(run(false), "src/a.c\n0012:ligne trop longue\nfound plain\n");
    EXPECT_EQ(run(true),
              "\x1b[4msrc/a.c\x1b[0m\n\x1b[31m0012:ligne trop longue\x1b[0m\n\x1b[32mfound\x1b[0m plain\n");
}
