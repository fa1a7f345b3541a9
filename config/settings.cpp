#include "config/settings.h"

#include <algorithm>
#include <bitset>
#include <cstring>

#include "engine/bytescan.h"
#include "platform/text.h"

namespace vantor {

SettingsRecord Settings;
bool French = true;

bool SortedStringList::Add(const std::string& s) {
    auto it = std::lower_bound(items_.begin(), items_.end(), s);
    if (it != items_.end() && *it == s) return false;
    items_.insert(it, s);
    if (!s.empty())
        lengthsByFirstByte_[static_cast<unsigned char>(s[0])] |= uint64_t{1} << std::min<size_t>(s.size(), 63);
    return true;
}

bool SortedStringList::Search(std::string_view s) const {
    return std::binary_search(items_.begin(), items_.end(), s,
                              [](std::string_view a, std::string_view b) { return a < b; });
}

namespace {

// Length, first and last byte without regard to case, in 15 bits: a
// dictionary of common names still turns away almost every other word.
inline uint32_t LengthLetter(const char* name, size_t len) {
    const auto low5 = [](char c) { return static_cast<uint32_t>(static_cast<unsigned char>(AsciiLower(c)) & 31); };
    return static_cast<uint32_t>(((len & 31) << 10) | (low5(name[0]) << 5) | low5(name[len - 1]));
}

// The bytes at `p` as a number, first byte lowest, whatever the machine's byte order.
inline uint32_t Load3(const unsigned char* p) { return p[0] | (p[1] << 8) | (uint32_t{p[2]} << 16); }
inline uint32_t Load4(const unsigned char* p) { return Load3(p) | (uint32_t{p[3]} << 24); }

// 16-bit hashes of three and four bytes; the 4-byte ones use the upper half of the bit table.
inline uint32_t Hash3(uint32_t v) { return (v * 2654435761u) >> 16; }
inline uint32_t Hash4(uint32_t v) { return 65536 + ((v * 2246822519u) >> 16); }

// The half bytes a group of names takes at each of its first four bytes; a
// name of three bytes takes any fourth.
struct GroupHalves {
    uint16_t low[4] = {}, high[4] = {};
    void Add(const std::string& name) {
        for (size_t k = 0; k < 4; ++k) {
            const unsigned char c = k < name.size() ? static_cast<unsigned char>(name[k]) : 0;
            low[k] |= k < name.size() ? static_cast<uint16_t>(1u << (c & 15)) : 0xFFFF;
            high[k] |= k < name.size() ? static_cast<uint16_t>(1u << (c >> 4)) : 0xFFFF;
        }
    }
    // The share of positions of a plain text (printable bytes, all alike) the group lets through.
    double Pass() const {
        double share = 1;
        for (size_t k = 0; k < 4; ++k) {
            // Printable bytes are the high halves 2 to 7, less 0x7F.
            int through = 0;
            for (int h = 2; h <= 7; ++h)
                if ((high[k] >> h) & 1)
                    through += static_cast<int>(std::bitset<16>(low[k] & (h == 7 ? 0x7FFFu : 0xFFFFu)).count());
            share *= through / 95.0;
        }
        return share;
    }
};

}  // namespace

void Dictionary::Reindex() {
    for (uint64_t& w : lengthLetter_) w = 0;
    prefixes_.assign(2 * 65536 / 64, 0);
    rowsByPrefix_.clear();
    shortName_ = lineEndName_ = false;
    for (size_t row = 0; row < rows_.size(); ++row) {
        const std::string& k = rows_[row].oldName;
        if (k.empty()) continue;  // matches nothing
        const uint32_t ll = LengthLetter(k.data(), k.size());
        lengthLetter_[ll >> 6] |= uint64_t{1} << (ll & 63);
        uint32_t bit = 0;
        if (k.size() < 3)
            shortName_ = true;
        else {
            const unsigned char* b = reinterpret_cast<const unsigned char*>(k.data());
            bit = k.size() == 3 ? Hash3(Load3(b)) : Hash4(Load4(b));
        }
        prefixes_[bit >> 6] |= uint64_t{1} << (bit & 63);
        if (k.find('\n') != std::string::npos) lineEndName_ = true;
        rowsByPrefix_.push_back(uint64_t{bit} << 32 | row);
    }
    std::sort(rowsByPrefix_.begin(), rowsByPrefix_.end());
    // Names alike share a group, so that a group stands for few bytes: each
    // name, the least telling first, joins the group it widens least (a few
    // dozen names); a larger dictionary is cut in byte order.
    std::vector<const std::string*> names;
    for (const DictionaryRow& r : rows_)
        if (r.oldName.size() >= 3) names.push_back(&r.oldName);
    std::vector<GroupHalves> groups(8);
    const size_t perGroup = (names.size() + 7) / 8;
    if (names.size() <= 64) {
        std::vector<std::pair<double, size_t>> order;
        for (size_t i = 0; i < names.size(); ++i) {
            GroupHalves alone;
            alone.Add(*names[i]);
            order.emplace_back(-alone.Pass(), i);
        }
        std::sort(order.begin(), order.end());
        std::vector<size_t> sizes(8);
        for (const auto& o : order) {
            size_t best = 8;
            double bestGrowth = 0;
            for (size_t g = 0; g < 8; ++g) {
                if (sizes[g] > perGroup) continue;
                GroupHalves wider = groups[g];
                wider.Add(*names[o.second]);
                const double growth = wider.Pass() - groups[g].Pass();
                if (best == 8 || growth < bestGrowth) best = g, bestGrowth = growth;
            }
            groups[best].Add(*names[o.second]);
            ++sizes[best];
        }
    } else {
        std::sort(names.begin(), names.end(), [](const std::string* a, const std::string* b) { return *a < *b; });
        for (size_t i = 0; i < names.size(); ++i) groups[i / perGroup].Add(*names[i]);
    }
    std::memset(nibbles_, 0, sizeof nibbles_);
    for (size_t g = 0; g < 8; ++g)
        for (size_t k = 0; k < 4; ++k)
            for (int v = 0; v < 16; ++v) {
                nibbles_[2 * k][v] |= static_cast<uint8_t>(((groups[g].low[k] >> v) & 1) << g);
                nibbles_[2 * k + 1][v] |= static_cast<uint8_t>(((groups[g].high[k] >> v) & 1) << g);
            }
}

namespace {

inline bool PrefixBit(const uint64_t* bits, const unsigned char* p) {
    const uint32_t v = Load4(p);  // one load serves both hashes
    const uint32_t a = Hash3(v & 0xFFFFFFu), b = Hash4(v);
    return (((bits[a >> 6] >> (a & 63)) | (bits[b >> 6] >> (b & 63))) & 1) != 0;
}

#ifdef VANTOR_AVX2
// The first position from `p` whose first four bytes fit some group and
// whose prefix bit is set, or nullptr; `p` is left where fewer than 36 bytes
// remain.
__attribute__((target("avx2"))) const unsigned char* WideScan(const unsigned char*& p, const unsigned char* e,
                                                               const uint8_t (&nibbles)[8][16],
                                                               const uint64_t* bits) {
    __m256i tables[8];
    for (int t = 0; t < 8; ++t)
        tables[t] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(nibbles[t])));
    const __m256i low = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
    for (; e - p >= 36; p += 32) {
        __m256i groups = _mm256_set1_epi8(-1);
        for (int k = 0; k < 4; ++k) {
            const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k));
            const __m256i lo = _mm256_shuffle_epi8(tables[2 * k], _mm256_and_si256(c, low));
            const __m256i hi = _mm256_shuffle_epi8(tables[2 * k + 1], _mm256_and_si256(_mm256_srli_epi16(c, 4), low));
            groups = _mm256_and_si256(groups, _mm256_and_si256(lo, hi));
        }
        uint32_t mask = ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(groups, zero)));
        for (; mask != 0; mask &= mask - 1) {
            const unsigned char* q = p + __builtin_ctz(mask);
            if (PrefixBit(bits, q)) return q;  // four bytes are there: 36 were
        }
    }
    return nullptr;
}
#endif

}  // namespace

void Dictionary::Clear() {
    rows_.clear();
    Reindex();
}

bool Dictionary::MayOccurIn(const std::string& text) const {
    if (rows_.empty()) return false;
    if (shortName_) return true;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    const uint64_t* bits = prefixes_.data();
    size_t i = 0;
    for (; i + 4 <= n; ++i) {
        const uint32_t v = Load4(p + i);  // one load serves both hashes
        const uint32_t a = Hash3(v & 0xFFFFFFu), b = Hash4(v);
        if (((bits[a >> 6] >> (a & 63)) | (bits[b >> 6] >> (b & 63))) & 1) return true;
    }
    if (i + 3 <= n) {
        const uint32_t a = Hash3(Load3(p + i));
        if ((bits[a >> 6] >> (a & 63)) & 1) return true;
    }
    return false;
}

const char* Dictionary::NextCandidate(const char* from, const char* end) const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(from);
    const unsigned char* const e = reinterpret_cast<const unsigned char*>(end);
    const uint64_t* bits = prefixes_.data();
#ifdef VANTOR_AVX2
    if (HasAvx2())
        if (const unsigned char* hit = WideScan(p, e, nibbles_, bits)) return reinterpret_cast<const char*>(hit);
#endif
    for (; e - p >= 4; ++p)
        if (PrefixBit(bits, p)) return reinterpret_cast<const char*>(p);
    if (e - p == 3) {
        const uint32_t a = Hash3(Load3(p));
        if ((bits[a >> 6] >> (a & 63)) & 1) return reinterpret_cast<const char*>(p);
    }
    return end;
}

int32_t Dictionary::RowAt(const char* at, const char* end, int32_t below) const {
    const size_t room = static_cast<size_t>(end - at);
    if (room < 3) return -1;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(at);
    int32_t best = -1;
    // A name of three bytes hides behind its 3-byte hash, a longer one behind its 4-byte hash.
    const uint32_t keys[2] = {Hash3(Load3(p)), room >= 4 ? Hash4(Load4(p)) : 0u};
    for (size_t k = 0; k < (room >= 4 ? 2u : 1u); ++k) {
        if (!((prefixes_[keys[k] >> 6] >> (keys[k] & 63)) & 1)) continue;  // no row behind this hash
        auto it = std::lower_bound(rowsByPrefix_.begin(), rowsByPrefix_.end(), uint64_t{keys[k]} << 32);
        for (; it != rowsByPrefix_.end() && (*it >> 32) == keys[k]; ++it) {
            const int32_t row = static_cast<int32_t>(*it & 0xFFFFFFFFu);
            if (row >= below || (best >= 0 && row >= best)) break;  // sorted by row within a hash
            const std::string& name = rows_[static_cast<size_t>(row)].oldName;
            if (name.size() <= room && std::memcmp(name.data(), at, name.size()) == 0) {
                best = row;
                break;
            }
        }
    }
    return best;
}

const DictionaryRow* Dictionary::Find(const char* name, size_t len) const {
    if (len == 0 || rows_.empty()) return nullptr;
    const uint32_t ll = LengthLetter(name, len);
    if (!((lengthLetter_[ll >> 6] >> (ll & 63)) & 1)) return nullptr;  // most words stop here
    for (const DictionaryRow& r : rows_)
        if (r.oldName.size() == len && EqualsNoCase(r.oldName.data(), name, len)) return &r;
    return nullptr;
}

bool Dictionary::Add(const std::string& oldName, const std::string& newName) {
    if (Find(oldName)) return false;
    rows_.push_back({oldName, newName});
    Reindex();
    return true;
}

bool Dictionary::SetRow(size_t i, const std::string& oldName, const std::string& newName) {
    if (i >= rows_.size()) return false;
    const DictionaryRow* other = Find(oldName);
    if (other && other != &rows_[i]) return false;
    rows_[i] = {oldName, newName};
    Reindex();
    return true;
}

bool Dictionary::RemoveRow(size_t i) {
    if (i >= rows_.size()) return false;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i));
    Reindex();
    return true;
}

void ResetSettings(Dictionary* dictionary) {
    SettingsRecord& s = Settings;
    s.configFilePath.clear();
    s.replaceMode = false;
    s.SousRepertoire = false;
    s.Indenter = false;
    s.noInterrog = false;
    s.breakSurCase = true;
    s.monoInstruction = true;
    s.lnIndentation = 3;
    s.imbrications = 8;
    s.fonctions = 20;
    s.instructions = 100;
    s.caracteres = 80;
    s.Source.clear();
    s.Destination.clear();
    s.DestinationDesign.clear();
    s.Test.clear();
    s.couverture = false;
    s.accolades = false;
    s.Methodes = false;
    if (dictionary) dictionary->Clear();
    s.MotsInterdits.Clear();
    // New must equal a fresh start: a loaded configuration's pragma lines and
    // alignment choice do not survive it.
    s.PragmaAvant.clear();
    s.PragmaApres.clear();
    s.aligner = true;
    s.MotsInterdits.Add("goto");
    s.Masques.clear();
    s.Masques.push_back("*.h");
    s.Masques.push_back("*.c");
    s.folderToIgnore.clear();
    // A first Apply must not turn every touched file to the other platform's line end.
    s.rtlf = kPlatformCrLf;
}

}  // namespace vantor
