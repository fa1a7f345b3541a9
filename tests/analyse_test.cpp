// Trace reading and the coverage report, on trace bytes built by hand in the
// 4-byte and 8-byte word layouts, little- and big-endian.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "config/settings.h"
#include "console/recording_sink.h"
#include "coverage/analyse.h"
#include "coverage/component.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

using Row = std::array<uint16_t, 4>;  // index, first line, last line, instructions

struct Layout {
    size_t word;  // 4 or 8
    bool big;
};
const Layout kLe32{4, false}, kBe32{4, true}, kLe64{8, false}, kBe64{8, true};

void PutWord(std::string& s, uint64_t v, size_t width, bool big) {
    for (size_t i = 0; i < width; ++i) s += static_cast<char>(v >> (8 * (big ? width - 1 - i : i)));
}

// One CovDef as a compiler lays it out: magic words, the three texts with
// their NULs, padding, N, the rows, the flags, tail padding to a word.
std::string Table(Layout l, const std::string& name, const std::string& version, const std::string& date,
                  const std::vector<Row>& rows, const std::vector<uint8_t>& flags) {
    std::string s;
    for (uint32_t m : {0x67a64b65u, 0x66ef4365u, 0xa786f365u}) PutWord(s, m, l.word, l.big);
    s += name + '\0' + version + '\0' + date + '\0';
    while (s.size() % l.word) s += '\0';
    PutWord(s, rows.size(), l.word, l.big);
    for (const Row& r : rows)
        for (uint16_t v : r) PutWord(s, v, 2, l.big);
    for (uint8_t f : flags) s += static_cast<char>(f);
    while (s.size() % l.word) s += '\0';
    return s;
}

// A file of three branches weighing 1, 2 and 3 instructions.
std::string Three(Layout l, std::vector<uint8_t> flags, const std::string& version = "1.2",
                  const std::string& date = "2024-01-02 03:04:06") {
    return Table(l, "src/m.c", version, date, {{0, 3, 9, 1}, {1, 5, 6, 2}, {2, 7, 8, 3}}, flags);
}

std::string Garbage(size_t n) {
    std::string s;
    uint32_t x = 12345;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        s += static_cast<char>(x >> 16);
    }
    return s;
}

class Analyse : public ::testing::Test {
protected:
    void SetUp() override {
        French = false;
        ResetComponents();
        ConsoleAttach(&console, &sink);
    }
    void TearDown() override {
        ConsoleDetach(&console);
        ResetComponents();
    }
    TraceStatus Read(const std::string& bytes, const std::string& path = "t.cov") {
        return ReadTraceBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), path);
    }
    // The two report passes as the console shows them.
    std::string Report() {
        sink.pieces.clear();
        PrintCoverageSummary();
        PrintUncovered();
        return sink.Text();
    }
    std::string Of(std::initializer_list<std::string> traces) {
        ResetComponents();
        for (const std::string& t : traces) Read(t);
        return Report();
    }
    std::vector<std::string> RedTexts() const {
        std::vector<std::string> r;
        for (const RecordedPiece& p : sink.pieces)
            if (p.colour == kColorRed) r.push_back(p.text);
        return r;
    }
    RecordingSink sink;
};

const char kHeader[] = "File\tVersion\tDate\t% instructions\n";

}  // namespace

TEST_F(Analyse, OneTraceReport) {
    // A 32-bit little-endian table written out byte by byte.
    const unsigned char bytes[] = {
        0xAA, 0xBB, 0xCC, 0xDD,                                      // leading bytes of a memory image
        0x65, 0x4b, 0xa6, 0x67, 0x65, 0x43, 0xef, 0x66, 0x65, 0xf3, 0x86, 0xa7,
        'a',  '.',  'c',  0,    '7',  0,    'd',  0,                 // "a.c", "7", "d": 8 bytes, no padding
        2,    0,    0,    0,                                         // N
        0,    0,    4,    0,    6,    0,    3,    0,                 // {0,4,6,3}
        1,    0,    9,    1,    12,   1,    1,    0,                 // {1,265,268,1}
        1,    0,                                                     // flags
    };
    ASSERT_EQ(TraceStatus::Ok, ReadTraceBytes(bytes, sizeof bytes, "x.cov"));
    EXPECT_EQ(Report(), std::string(kHeader) +
                            "a.c\t7\td\t75%\n"
                            "---------a.c\t7\td\n"
                            "Branch 1 line 265->268\n"
                            "Total coverage : 75%\n");
}

TEST_F(Analyse, EveryLayoutGivesTheSameReport) {
    // Any non-zero flag byte counts as executed.
    EXPECT_EQ(Of({Three(kLe32, {0, 0, 7})}), std::string(kHeader) +
                                                "src/m.c\t1.2\t2024-01-02 03:04:06\t50%\n"
                                                "---------src/m.c\t1.2\t2024-01-02 03:04:06\n"
                                                "Branch 0 line 3->9\n"
                                                "Branch 1 line 5->6\n"
                                                "Total coverage : 50%\n");
    for (Layout l : {kLe32, kBe32, kLe64, kBe64}) {
        // Two traces merge whatever their layout: 2 and 3 of 6 instructions.
        std::string report = Of({Three(l, {0, 1, 0}), Three(l, {0, 0, 0})});
        EXPECT_EQ(report, std::string(kHeader) +
                              "src/m.c\t1.2\t2024-01-02 03:04:06\t33%\n"
                              "---------src/m.c\t1.2\t2024-01-02 03:04:06\n"
                              "Branch 0 line 3->9\n"
                              "Branch 2 line 7->8\n"
                              "Total coverage : 33%\n")
            << l.word << l.big;
    }
}

TEST_F(Analyse, MergingFlagsAndVersionOrder) {
    // 0 and 2 in one trace, 1 in another: all covered, nothing listed.
    EXPECT_EQ(Of({Three(kLe32, {1, 0, 1}), Three(kBe64, {0, 1, 0})}),
              std::string(kHeader) + "src/m.c\t1.2\t2024-01-02 03:04:06\t100%\nTotal coverage : 100%\n");
    // Versions sort in descending byte order: "1.2" before "1.10", the later date first.
    EXPECT_EQ(Of({Three(kLe32, {1, 0, 0}, "1.10"), Three(kLe32, {0, 1, 0}, "1.2", "2024-01-02 03:04:06"),
                  Three(kLe64, {0, 0, 1}, "1.2", "2024-05-01 00:00:00"),
                  Table(kLe32, "a.c", "?", "d", {{0, 1, 1, 7}}, {0})}),
              std::string(kHeader) + "src/m.c\t1.2\t2024-05-01 00:00:00\t50%\n" +  //
                  kHeader + "src/m.c\t1.2\t2024-01-02 03:04:06\t33%\n" +          //
                  kHeader + "src/m.c\t1.10\t2024-01-02 03:04:06\t16%\n" +         //
                  kHeader + "a.c\t?\td\t00%\n"
                  "---------src/m.c\t1.2\t2024-05-01 00:00:00\n"
                  "Branch 0 line 3->9\nBranch 1 line 5->6\n"
                  "---------src/m.c\t1.2\t2024-01-02 03:04:06\n"
                  "Branch 0 line 3->9\nBranch 2 line 7->8\n"
                  "---------src/m.c\t1.10\t2024-01-02 03:04:06\n"
                  "Branch 1 line 5->6\nBranch 2 line 7->8\n"
                  "---------a.c\t?\td\n"
                  "Branch 0 line 1->1\n"
                  "Total coverage : 24%\n");  // 6 of 25
}

TEST_F(Analyse, ZeroInstructionRecordsAndFullCoverageStay) {
    std::string zero = Table(kLe32, "z.c", "?", "d", {{0, 1, 2, 0}, {1, 3, 4, 0}}, {0, 0});
    EXPECT_EQ(Of({zero}), kHeader);  // no percent, not listed, no total
    EXPECT_EQ(Of({zero, Three(kLe32, {1, 1, 0})}),
              std::string(kHeader) + kHeader + "src/m.c\t1.2\t2024-01-02 03:04:06\t50%\n" +
                  "---------src/m.c\t1.2\t2024-01-02 03:04:06\nBranch 2 line 7->8\nTotal coverage : 50%\n");
    // One third of 3% rounds down to two digits.
    EXPECT_EQ(Of({Table(kLe32, "p.c", "?", "d", {{0, 1, 1, 7}, {1, 2, 2, 93}}, {1, 0})}),
              std::string(kHeader) + "p.c\t?\td\t07%\n---------p.c\t?\td\nBranch 1 line 2->2\nTotal coverage : 7%\n");
}

TEST_F(Analyse, RecordsAreRealignedToTheFourByteGrid) {
    // Three flags leave the record one byte short of the grid; the next table
    // of the image starts on it. Also when the image does not pad tables.
    for (Layout l : {kLe32, kBe32, kLe64, kBe64}) {
        std::string a = Table(l, "a.c", "v", "d", {{0, 1, 1, 1}, {1, 2, 2, 1}, {2, 3, 3, 1}}, {1, 1, 1});
        std::string b = Table(l, "b.c", "v", "d", {{0, 5, 5, 1}}, {1});
        ResetComponents();
        EXPECT_EQ(TraceStatus::Ok, Read(a + Garbage(4) + b)) << l.word << l.big;
        EXPECT_EQ(2, componentList.count) << l.word << l.big;
    }
    // The bytes up to the grid are skipped whatever they hold.
    std::string a = Table(kLe32, "aa.c", "v", "d", {{0, 1, 1, 1}}, {1});  // 12+9+3+4+8+1 = 37 bytes
    std::string b = Table(kLe32, "bb.c", "v", "d", {{0, 1, 1, 1}}, {1});
    ResetComponents();
    EXPECT_EQ(TraceStatus::Ok, Read(a.substr(0, 37) + "xyz" + b));
    EXPECT_EQ(2, componentList.count);
}

TEST_F(Analyse, BrokenRecordsStopTheTraceButKeepWhatWasMerged) {
    std::string good = Three(kLe32, {1, 0, 0});
    std::string other = Table(kLe32, "n.c", "?", "d", {{0, 1, 1, 1}}, {1});
    struct Case {
        const char* what;
        std::string bytes;
        TraceStatus status;
        int records;
    } cases[] = {
        {"empty", "", TraceStatus::Ok, 0},
        {"short", "ab", TraceStatus::Ok, 0},
        {"garbage", Garbage(4096), TraceStatus::Ok, 0},
        {"magic only", good.substr(0, 12), TraceStatus::Malformed, 0},
        {"cut in the texts", good.substr(0, 20), TraceStatus::Malformed, 0},
        {"cut in N", good.substr(0, 34), TraceStatus::Malformed, 0},
        {"cut in the rows", good.substr(0, 50), TraceStatus::Malformed, 0},
        {"cut in the flags", good.substr(0, good.size() - 2), TraceStatus::Malformed, 0},
        {"after a good one", good + other.substr(0, 30), TraceStatus::Malformed, 1},
        {"huge N", good.substr(0, 32) + "\xff\xff\xff\xff" + Garbage(64), TraceStatus::Malformed, 0},
        {"huge wide N", Three(kLe64, {0, 0, 0}).substr(0, 56) + std::string(8, '\xff') + Garbage(64),
         TraceStatus::Malformed, 0},
        {"first magic words only", good.substr(0, 8) + Garbage(64), TraceStatus::Ok, 0},
        {"magic twice", good.substr(0, 4) + good, TraceStatus::Ok, 1},
        {"N differs from the first", good + Table(kLe32, "src/m.c", "1.2", "2024-01-02 03:04:06", {}, {}) + other,
         TraceStatus::Malformed, 1},
    };
    for (const Case& c : cases) {
        ResetComponents();
        sink.pieces.clear();
        EXPECT_EQ(c.status, Read(c.bytes, "bad.cov")) << c.what;
        EXPECT_EQ(c.records, componentList.count) << c.what;
        EXPECT_EQ(RedTexts(), c.status == TraceStatus::Ok ? std::vector<std::string>{}
                                                          : std::vector<std::string>{"error on bad.cov file\n"})
            << c.what;
    }
}

TEST_F(Analyse, LongTextsAreCutAt399Bytes) {
    std::string name(450, 'n');
    // Reading goes on after the 400th byte: the rest of the name is read as
    // the version, the version as the date, and the padding finds N again.
    ASSERT_EQ(TraceStatus::Ok, Read(Table(kLe32, name, "v", "d", {{0, 1, 1, 1}}, {1})));
    ASSERT_EQ(1, componentList.count);
    EXPECT_EQ(std::string(399, 'n'), FirstComponent()->name);
    EXPECT_EQ(std::string(50, 'n'), FirstComponent()->version);
    EXPECT_EQ("v", FirstComponent()->date);
    std::string cut = Table(kLe32, "", "", "", {}, {});
    cut = cut.substr(0, 12) + std::string(400, 'a') + std::string("\0v\0d\0", 5) + std::string(3, '\0') +
          std::string("\1\0\0\0", 4) + std::string("\0\0\1\0\1\0\1\0", 8) + "\1";
    ResetComponents();
    ASSERT_EQ(TraceStatus::Ok, Read(cut));
    ASSERT_EQ(1, componentList.count);
    EXPECT_EQ(std::string(399, 'a'), FirstComponent()->name);
    EXPECT_EQ("", FirstComponent()->version);  // the NUL right after the 400th byte
    EXPECT_EQ("v", FirstComponent()->date);
}

TEST_F(Analyse, FoldersTracesAndRepeatedAnalyses) {
    TempDir dir;
    WriteFile(dir / "b.COV", Three(kLe64, {0, 1, 0}));
    WriteFile(dir / "a.cov", Three(kLe32, {1, 0, 0}));
    WriteFile(dir / "c.txt", Three(kLe32, {0, 0, 1}));
    WriteFile(dir / "d.cov/x", "");
    AnalyseResult r = AnalyseCoverage(dir.path() + "/");
    EXPECT_EQ(2, r.traces);
    EXPECT_EQ(0, r.unreadable + r.malformed);
    std::string once = "Tests analyzed:\n" + dir.path() + "/a.cov\n" + dir.path() + "/b.COV\n" +
                       "Coverage summary:\n" + kHeader + "src/m.c\t1.2\t2024-01-02 03:04:06\t50%\n" +
                       "Not covered lines:\n---------src/m.c\t1.2\t2024-01-02 03:04:06\nBranch 2 line 7->8\n" +
                       "Total coverage : 50%\nfinished\n";
    EXPECT_EQ(sink.Text(), once);
    // The same traces again change nothing; another folder adds to the records.
    sink.pieces.clear();
    AnalyseCoverage(dir.path());
    EXPECT_EQ(sink.Text(), once);
    TempDir more;
    WriteFile(more / "c.cov", Three(kBe32, {0, 0, 1}));
    sink.pieces.clear();
    French = true;
    AnalyseCoverage(more.path());
    EXPECT_EQ(sink.Text(), "Tests analysés:\n" + more.path() + "/c.cov\nSynthèse de la couverture\n" + kHeader +
                               "src/m.c\t1.2\t2024-01-02 03:04:06\t100%\nLignes non couvertes:\n"
                               "Total couverture : 100%\nTerminé\n");
}

TEST_F(Analyse, TraceFilesAreReadAcrossChunks) {
    // A record that straddles the reader's 1 MiB chunks, near the end of the file.
    TempDir dir;
    std::string name(50, 'x');
    WriteFile(dir / "big.cov", std::string((1 << 20) - 40, '\0') + Three(kBe64, {1, 0, 0}) +
                                   Table(kLe32, name, "v", "d", {{0, 4, 4, 2}}, {1}));
    EXPECT_EQ(TraceStatus::Ok, ReadTrace(dir / "big.cov"));
    EXPECT_EQ(2, componentList.count);
    EXPECT_EQ(Report(), std::string(kHeader) + name + "\tv\td\t100%\n" + kHeader +
                            "src/m.c\t1.2\t2024-01-02 03:04:06\t16%\n---------src/m.c\t1.2\t2024-01-02 03:04:06\n"
                            "Branch 1 line 5->6\nBranch 2 line 7->8\nTotal coverage : 37%\n");
}

TEST_F(Analyse, SmallReadChunksGiveTheSameRecords) {
    std::string name(420, 'q');
    std::string trace = Garbage(36) + Three(kLe32, {1, 0, 0}) + Three(kBe64, {0, 1, 0}, "2") +
                        Table(kLe64, name, "v", "d", {{0, 4, 4, 2}}, {1}) + Three(kBe32, {0, 0, 1}) + "\x65\x4b";
    Read(trace);
    std::string expect = Report();
    TempDir dir;
    WriteFile(dir / "t.cov", trace);
    for (size_t chunk : {1, 3, 4, 7, 64, 1000}) {
        ResetComponents();
        traceReadChunk = chunk;
        EXPECT_EQ(TraceStatus::Ok, ReadTrace(dir / "t.cov"));
        EXPECT_EQ(Report(), expect) << chunk;
    }
    traceReadChunk = 1 << 20;
    EXPECT_EQ(3, componentList.count);
}

TEST_F(Analyse, UnreadableTracesAndExitStatus) {
    TempDir dir;
    EXPECT_EQ(TraceStatus::Unreadable, ReadTrace(dir / "none.cov"));
    EXPECT_EQ(TraceStatus::Unreadable, ReadTrace(dir.path()));  // a folder opens but cannot be read
    EXPECT_EQ(RedTexts(), (std::vector<std::string>{"Can't read " + (dir / "none.cov") + " file\n",
                                                    "Can't read " + dir.path() + " file\n"}));
    French = true;
    sink.pieces.clear();
    ReadTrace(dir / "none.cov");
    EXPECT_EQ(RedTexts(), std::vector<std::string>{"Ne peut lire le fichier " + (dir / "none.cov") + " \n"});
    French = false;

    WriteFile(dir / "ok.cov", Three(kLe32, {1, 1, 1}));
    EXPECT_EQ(0, RunAnalyse(dir.path(), ""));
    EXPECT_EQ(0, RunAnalyse(dir / "ok.cov", ""));  // one trace named directly
    EXPECT_EQ(3, RunAnalyse(dir / "missing", ""));
    EXPECT_EQ(3, RunAnalyse(dir.path(), dir / "no/such/folder/out.info"));
    WriteFile(dir / "bad.cov", Three(kLe32, {1, 1, 1}).substr(0, 40));
    EXPECT_EQ(3, RunAnalyse(dir.path(), ""));
}

TEST(DblSorted, InsertSortedKeepsDescendingOrderAndReturnsTheEqualChild) {
    DblSorted list;
    std::vector<std::string> kept;
    for (const char* v : {"1.2", "1.10", "2", "1.2", "1.3"}) {
        auto* c = new Component("m.c", v, "d");
        if (list.InsertSorted(c) != c) delete c;
    }
    for (auto* c = static_cast<Component*>(list.first); c; c = c->NextComponent()) kept.push_back(c->version);
    EXPECT_EQ(kept, (std::vector<std::string>{"2", "1.3", "1.2", "1.10"}));
    EXPECT_EQ(4, list.count);
    // The base knows no order: new nodes go after the last one.
    DblSorted plain;
    auto* a = new DblSorted;
    auto* b = new DblSorted;
    EXPECT_EQ(a, plain.InsertSorted(a));
    EXPECT_EQ(b, plain.InsertSorted(b));
    EXPECT_EQ(b, plain.last);
    EXPECT_EQ(2, plain.count);
}
