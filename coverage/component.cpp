#include "coverage/component.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>

#include "config/settings.h"
#include "console/console.h"
#include "coverage/covtable.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace vantor {

DblSorted componentList;
size_t traceReadChunk = 1 << 20;
int64_t totalInstructions = 0;
int64_t coveredInstructions = 0;

namespace {

// Finds a record without walking the list: thousands of tables from hundreds
// of traces would make the walk quadratic. It mirrors componentList, whose
// records are only ever added by FindOrAddComponent.
using ComponentKey = std::tuple<std::string, std::string, std::string>;
std::map<ComponentKey, Component*> componentIndex;

int32_t Sign(int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); }

constexpr uint32_t Swap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Read16(const uint8_t* p, bool swapped) {
    return swapped ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}
uint64_t ReadWord(const uint8_t* p, size_t width, bool swapped) {
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i) v |= static_cast<uint64_t>(p[swapped ? width - 1 - i : i]) << (8 * i);
    return v;
}

// Size of a seekable file, its position back at the start; -1 for a pipe.
int64_t FileSizeOf(FILE* f) {
#ifdef _WIN32
    if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
    int64_t s = _ftelli64(f);
    if (_fseeki64(f, 0, SEEK_SET) != 0) return -1;
#else
    if (fseeko(f, 0, SEEK_END) != 0) return -1;
    int64_t s = static_cast<int64_t>(ftello(f));
    if (fseeko(f, 0, SEEK_SET) != 0) return -1;
#endif
    return s;
}

constexpr size_t kMaxText = 400;  // a text without NUL keeps its first 399 bytes
constexpr size_t kMagicSpan = 24;  // the longest magic: three 8-byte words

// The bytes of one trace, from memory or read from a file a chunk at a time.
// A record is kept whole in the buffer while it is merged, so memory grows
// only with data that is really there, never with a count read from it.
class TraceInput {
public:
    TraceInput(const uint8_t* data, size_t size) : buf_(data), end_(size), known_(true), size_(size) {}
    explicit TraceInput(FILE* f) : file_(f) {
        // A regular file tells its size: a huge count is refused before reading.
        int64_t s = FileSizeOf(f);
        if (s >= 0) {
            known_ = true;
            size_ = static_cast<uint64_t>(s);
        }
    }

    const uint8_t* Here() const { return buf_ + cur_; }
    size_t Avail() const { return end_ - cur_; }
    void Advance(size_t n) { cur_ += n; }
    uint64_t Offset() const { return base_ + cur_; }
    bool Failed() const { return failed_; }
    // False when fewer than n bytes are left, which the known file size tells
    // at once.
    bool Holds(uint64_t n) const { return !known_ || Offset() > size_ || size_ - Offset() >= n; }

    // At least n bytes from the cursor are in the buffer; false when the data
    // ends first (the buffer then holds what there is).
    bool Ensure(size_t n) {
        if (end_ - cur_ >= n) return true;
        if (!file_ || done_) return false;
        // What the file still holds is read even when it is less than asked.
        size_t target = n;
        if (known_ && !Holds(n)) target = static_cast<size_t>(size_ > Offset() ? size_ - Offset() : 0);
        if (cur_ > 0) {
            std::memmove(own_.data(), own_.data() + cur_, end_ - cur_);
            base_ += cur_;
            end_ -= cur_;
            cur_ = 0;
        }
        while (end_ < target && !done_) {
            const size_t chunk = std::max<size_t>(traceReadChunk, 1);
            size_t want = end_ + std::max(chunk, std::min(target - end_, chunk * 64));
            if (own_.capacity() < want) own_.reserve(std::max(want, own_.capacity() * 2));
            own_.resize(want);
            buf_ = own_.data();
            size_t ask = want - end_;
            size_t got = std::fread(own_.data() + end_, 1, ask, file_);
            end_ += got;
            if (got < ask) {
                done_ = true;
                failed_ = std::ferror(file_) != 0;
            }
        }
        return end_ >= n;
    }

private:
    FILE* file_ = nullptr;
    std::vector<uint8_t> own_;
    const uint8_t* buf_ = nullptr;
    size_t cur_ = 0;
    size_t end_ = 0;
    uint64_t base_ = 0;
    bool done_ = false;
    bool failed_ = false;
    bool known_ = false;
    uint64_t size_ = 0;
};

// The layout a magic word opened: 4- or 8-byte words. Returns the length of
// the magic words from `m` (the first magic word), 0 when they are not there.
size_t MatchMagic(const uint8_t* m, size_t avail, bool swapped, bool& wide) {
    const uint32_t m2 = swapped ? Swap32(kCovMagic2) : kCovMagic2;
    const uint32_t m3 = swapped ? Swap32(kCovMagic3) : kCovMagic3;
    auto is = [&](size_t k, uint32_t v) { return 4 * k + 4 <= avail && Le32(m + 4 * k) == v; };
    if (is(1, m2) && is(2, m3)) {
        wide = false;
        return 12;
    }
    // 8-byte words: the 32-bit value and a zero half, in the order of the
    // byte order. Big-endian words start with their zero half, which the scan
    // has already passed.
    if (is(1, 0) && is(2, m2) && is(3, 0) && is(4, m3)) {
        if (swapped) {
            wide = true;
            return 20;
        }
        if (is(5, 0)) {
            wide = true;
            return 24;
        }
    }
    return 0;
}

// Reads one text up to its NUL (at most 400 bytes; without a NUL the first
// 399 are kept). False when the data ends first.
bool ReadText(TraceInput& in, std::string& text) {
    in.Ensure(kMaxText);
    size_t span = std::min(kMaxText, in.Avail());
    const uint8_t* p = in.Here();
    const void* nul = span ? std::memchr(p, 0, span) : nullptr;
    if (nul) {
        size_t len = static_cast<size_t>(static_cast<const uint8_t*>(nul) - p);
        text.assign(reinterpret_cast<const char*>(p), len);
        in.Advance(len + 1);
        return true;
    }
    if (span < kMaxText) return false;
    text.assign(reinterpret_cast<const char*>(p), kMaxText - 1);
    in.Advance(kMaxText);
    return true;
}

bool Skip(TraceInput& in, size_t n) {
    if (!in.Ensure(n)) return false;
    in.Advance(n);
    return true;
}

// Merges N rows (at `rows`) and N flags (right after them) into the record.
// The rows of the first trace of a version are kept; a different count fails.
bool ReadBranchData(Component& c, const uint8_t* rows, size_t n, bool swapped) {
    if (c.branchTotal < 0) {
        c.branchTotal = static_cast<int64_t>(n);
        c.rows.resize(4 * n);
        for (size_t i = 0; i < 4 * n; ++i) c.rows[i] = Read16(rows + 2 * i, swapped);
        c.covered.assign(n, 0);
    }
    if (static_cast<int64_t>(n) != c.branchTotal) return false;
    // Flags only accumulate: a later trace never clears one.
    const uint8_t* flags = rows + 8 * n;
    for (size_t j = 0; j < n; ++j)
        if (flags[j]) c.covered[j] = 1;
    return true;
}

// One record whose magic words start at the cursor. False when it is cut
// short or does not fit the record already held for its version.
bool ReadRecord(TraceInput& in, size_t magicLength, bool wide, bool swapped) {
    in.Advance(magicLength);
    const uint64_t q = in.Offset();
    std::string name, version, date;
    if (!ReadText(in, name) || !ReadText(in, version) || !ReadText(in, date)) return false;
    const size_t width = wide ? 8 : 4;
    size_t k = static_cast<size_t>((in.Offset() - q) % width);
    if (k != 0 && !Skip(in, width - k)) return false;
    if (!in.Ensure(width)) return false;
    uint64_t n = ReadWord(in.Here(), width, swapped);
    in.Advance(width);
    // Each branch takes 9 bytes: the count is bounded by what the file holds.
    if (n > SIZE_MAX / 9 || !in.Holds(n * 9) || !in.Ensure(static_cast<size_t>(n * 9))) return false;
    Component* c = FindOrAddComponent(name, version, date);
    if (!ReadBranchData(*c, in.Here(), static_cast<size_t>(n), swapped)) return false;
    in.Advance(static_cast<size_t>(n * 9));
    // Back to the 4-byte grid: the next table of a memory image starts on it,
    // whatever the length of this one.
    k = static_cast<size_t>(in.Offset() % 4);
    if (k != 0) {
        in.Ensure(4 - k);
        in.Advance(std::min(4 - k, in.Avail()));
    }
    return true;
}

TraceStatus Scan(TraceInput& in, const std::string& path) {
    const uint32_t m1 = kCovMagic1;
    const uint32_t m1Swapped = Swap32(kCovMagic1);
    for (;;) {
        if (in.Avail() < kMagicSpan) in.Ensure(kMagicSpan);
        const uint8_t* p = in.Here();
        const size_t avail = in.Avail();
        if (avail < 4) break;
        size_t i = 0;
        uint32_t w = 0;
        for (; i + 4 <= avail; i += 4) {
            w = Le32(p + i);
            if (w == m1 || w == m1Swapped) break;
        }
        in.Advance(i);
        if (i + 4 > avail) continue;  // no magic in the buffer: read on
        const bool swapped = w == m1Swapped;
        in.Ensure(kMagicSpan);
        bool wide = false;
        size_t magicLength = MatchMagic(in.Here(), in.Avail(), swapped, wide);
        if (magicLength == 0) {
            in.Advance(4);
            continue;
        }
        if (!ReadRecord(in, magicLength, wide, swapped)) {
            ConsolePrintColor(&console, kColorRed, "error on %s file\n", path.c_str());
            return TraceStatus::Malformed;
        }
    }
    if (in.Failed()) {
        ConsolePrintColor(&console, kColorRed, Tr("Ne peut lire le fichier %s \n", "Can't read %s file\n"),
                          path.c_str());
        return TraceStatus::Unreadable;
    }
    return TraceStatus::Ok;
}

bool IsTraceName(const std::string& name) { return EndsWithNoCase(name, ".cov", 4); }

}  // namespace

Component::Component(std::string name_, std::string version_, std::string date_)
    : name(std::move(name_)), version(std::move(version_)), date(std::move(date_)) {}

int32_t Component::compare(const DblSorted* existing, const DblSorted* candidate) const {
    const auto* a = static_cast<const Component*>(existing);
    const auto* b = static_cast<const Component*>(candidate);
    if (int c = a->name.compare(b->name)) return Sign(c);
    if (int c = a->version.compare(b->version)) return Sign(c);
    return Sign(a->date.compare(b->date));
}

Component* FindOrAddComponent(const std::string& name, const std::string& version, const std::string& date) {
    if (componentIndex.size() != static_cast<size_t>(componentList.count)) {
        componentIndex.clear();
        for (Component* c = FirstComponent(); c; c = c->NextComponent())
            componentIndex.emplace(ComponentKey(c->name, c->version, c->date), c);
    }
    ComponentKey key(name, version, date);
    auto it = componentIndex.upper_bound(key);
    if (it != componentIndex.begin()) {
        auto same = std::prev(it);
        if (same->first == key) return same->second;
    }
    // The list runs from the highest key down: the new record follows the
    // smallest record above it, or comes first.
    auto* c = new Component(name, version, date);
    componentList.InsertAfter(it == componentIndex.end() ? nullptr : it->second, c);
    componentIndex.emplace_hint(it, std::move(key), c);
    return c;
}

void ResetComponents() {
    componentIndex.clear();
    componentList.ClearChildren();
    totalInstructions = coveredInstructions = 0;
}

TraceStatus ReadTraceBytes(const uint8_t* data, size_t size, const std::string& path) {
    TraceInput in(data, size);
    return Scan(in, path);
}

TraceStatus ReadTrace(const std::string& path) {
    FILE* f = OpenFile(path, "rb");
    if (!f) {
        ConsolePrintColor(&console, kColorRed, Tr("Ne peut lire le fichier %s \n", "Can't read %s file\n"),
                          path.c_str());
        return TraceStatus::Unreadable;
    }
    TraceStatus st = ReadTraceFile(f, path);
    std::fclose(f);
    return st;
}

TraceStatus ReadTraceFile(FILE* f, const std::string& path) {
    TraceInput in(f);
    return Scan(in, path);
}

void PrintCoverageSummary() {
    totalInstructions = coveredInstructions = 0;
    for (Component* c = FirstComponent(); c; c = c->NextComponent()) {
        int64_t total = 0, covered = 0;
        for (size_t j = 0; j < c->covered.size(); ++j) {
            total += c->Instructions(j);
            if (c->covered[j]) covered += c->Instructions(j);
        }
        if (covered == total) c->fullyCovered = true;
        ConsolePrint(&console, "File\tVersion\tDate\t%% instructions\n");
        if (total == 0) continue;
        totalInstructions += total;
        coveredInstructions += covered;
        ConsolePrint(&console, "%s\t%s\t%s\t%02d%%\n", c->name.c_str(), c->version.c_str(), c->date.c_str(),
                     static_cast<int>(covered * 100 / total));
    }
}

void PrintUncovered() {
    for (Component* c = FirstComponent(); c; c = c->NextComponent()) {
        if (c->fullyCovered) continue;
        ConsolePrint(&console, "---------%s\t%s\t%s\n", c->name.c_str(), c->version.c_str(), c->date.c_str());
        for (size_t j = 0; j < c->covered.size(); ++j)
            if (!c->covered[j])
                ConsolePrint(&console, "Branch %d line %d->%d\n", c->Index(j), c->FirstLine(j), c->LastLine(j));
    }
    if (totalInstructions != 0)
        ConsolePrint(&console, Tr("Total couverture : %d%%\n", "Total coverage : %d%%\n"),
                     static_cast<int>(coveredInstructions * 100 / totalInstructions));
}

AnalyseResult AnalyseTraceFiles(const std::vector<std::string>& paths) {
    AnalyseResult r;
    ConsolePrint(&console, "%s", Tr("Tests analysés:\n", "Tests analyzed:\n"));
    for (const std::string& path : paths) {
        ConsolePrint(&console, "%s\n", path.c_str());
        ++r.traces;
        TraceStatus st = ReadTrace(path);
        if (st == TraceStatus::Unreadable) ++r.unreadable;
        if (st == TraceStatus::Malformed) ++r.malformed;
    }
    ConsolePrint(&console, "%s", Tr("Synthèse de la couverture\n", "Coverage summary:\n"));
    PrintCoverageSummary();
    ConsolePrint(&console, "%s", Tr("Lignes non couvertes:\n", "Not covered lines:\n"));
    PrintUncovered();
    ConsolePrint(&console, "%s", Tr("Terminé\n", "finished\n"));
    return r;
}

AnalyseResult AnalyseCoverage(const std::string& testFolder) {
    std::vector<DirEntry> entries;
    std::vector<std::string> paths;
    bool listed = ListFolder(testFolder.empty() ? "." : testFolder, entries);
    for (const DirEntry& e : entries) {
        if (!e.isFile || !IsTraceName(e.name)) continue;
        if (testFolder.empty())
            paths.push_back(e.name);
        else
            paths.push_back(testFolder + (EndsWithSeparator(testFolder) ? "" : "/") + e.name);
    }
    if (!listed)
        ConsolePrintColor(&console, kColorRed, Tr("Ne peut lire le dossier %s\n", "Can't read %s folder\n"),
                          testFolder.c_str());
    AnalyseResult r = AnalyseTraceFiles(paths);
    if (!listed) ++r.unreadable;
    return r;
}

}  // namespace vantor
