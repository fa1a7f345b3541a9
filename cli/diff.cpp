#include "cli/diff.h"

#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantor::cli {

namespace {

constexpr int kContext = 3;
// Past this much work (lines × edit distance) a region is given as removed and
// added whole: still a correct diff, and a huge rewrite cannot stall the run.
constexpr long long kBudget = 200000000LL;

std::vector<std::string_view> SplitLines(const std::string& text) {
    std::vector<std::string_view> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t nl = text.find('\n', from);
        size_t to = nl == std::string::npos ? text.size() : nl + 1;
        lines.emplace_back(text.data() + from, to - from);
        from = to;
    }
    return lines;
}

// Marks the lines of `a` removed and of `b` added on a shortest (or, past the
// budget, a correct) way from one to the other: Myers' bisection, which needs
// memory in the size of the files, not of their product.
class LineDiff {
public:
    LineDiff(const std::vector<int>& a, const std::vector<int>& b)
        : a_(a), b_(b), removed(a.size(), 0), added(b.size(), 0) {
        Compare(0, static_cast<int>(a.size()), 0, static_cast<int>(b.size()));
    }

private:
    const std::vector<int>& a_;
    const std::vector<int>& b_;

public:
    std::vector<char> removed;
    std::vector<char> added;

private:
    void Compare(int aLo, int aHi, int bLo, int bHi) {
        while (aLo < aHi && bLo < bHi && a_[aLo] == b_[bLo]) ++aLo, ++bLo;
        while (aLo < aHi && bLo < bHi && a_[aHi - 1] == b_[bHi - 1]) --aHi, --bHi;
        if (aLo == aHi || bLo == bHi) {
            MarkAll(aLo, aHi, bLo, bHi);
            return;
        }
        int x = 0, y = 0;
        if (!MiddleSnake(aLo, aHi, bLo, bHi, x, y)) {
            MarkAll(aLo, aHi, bLo, bHi);
            return;
        }
        Compare(aLo, x, bLo, y);
        Compare(x, aHi, y, bHi);
    }

    void MarkAll(int aLo, int aHi, int bLo, int bHi) {
        for (int i = aLo; i < aHi; ++i) removed[i] = 1;
        for (int j = bLo; j < bHi; ++j) added[j] = 1;
    }

    // Where a forward and a backward search of the edit graph of
    // a[aLo, aHi) and b[bLo, bHi) meet: (x, y), absolute, strictly inside.
    bool MiddleSnake(int aLo, int aHi, int bLo, int bHi, int& xOut, int& yOut) {
        const int n = aHi - aLo, m = bHi - bLo;
        const int maxD = (n + m + 1) / 2;
        const int offset = maxD;
        const int length = 2 * maxD + 2;
        std::vector<int> v1(length, -1), v2(length, -1);
        v1[offset + 1] = 0;
        v2[offset + 1] = 0;
        const int delta = n - m;
        const bool front = (delta % 2) != 0;
        int k1start = 0, k1end = 0, k2start = 0, k2end = 0;
        auto A = [&](int i) { return a_[aLo + i]; };
        auto B = [&](int j) { return b_[bLo + j]; };
        for (int d = 0; d < maxD; ++d) {
            if (static_cast<long long>(d) * (n + m) > kBudget) return false;
            for (int k1 = -d + k1start; k1 <= d - k1end; k1 += 2) {
                const int k1o = offset + k1;
                int x1 = (k1 == -d || (k1 != d && v1[k1o - 1] < v1[k1o + 1])) ? v1[k1o + 1] : v1[k1o - 1] + 1;
                int y1 = x1 - k1;
                while (x1 < n && y1 < m && A(x1) == B(y1)) ++x1, ++y1;
                v1[k1o] = x1;
                if (x1 > n) {
                    k1end += 2;
                } else if (y1 > m) {
                    k1start += 2;
                } else if (front) {
                    const int k2o = offset + delta - k1;
                    if (k2o >= 0 && k2o < length && v2[k2o] != -1 && x1 >= n - v2[k2o]) {
                        xOut = aLo + x1;
                        yOut = bLo + y1;
                        return true;
                    }
                }
            }
            for (int k2 = -d + k2start; k2 <= d - k2end; k2 += 2) {
                const int k2o = offset + k2;
                int x2 = (k2 == -d || (k2 != d && v2[k2o - 1] < v2[k2o + 1])) ? v2[k2o + 1] : v2[k2o - 1] + 1;
                int y2 = x2 - k2;
                while (x2 < n && y2 < m && A(n - x2 - 1) == B(m - y2 - 1)) ++x2, ++y2;
                v2[k2o] = x2;
                if (x2 > n) {
                    k2end += 2;
                } else if (y2 > m) {
                    k2start += 2;
                } else if (!front) {
                    const int k1o = offset + delta - k2;
                    if (k1o >= 0 && k1o < length && v1[k1o] != -1) {
                        const int x1 = v1[k1o];
                        const int y1 = offset + x1 - k1o;
                        if (x1 >= n - x2) {
                            xOut = aLo + x1;
                            yOut = bLo + y1;
                            return true;
                        }
                    }
                }
            }
        }
        return false;
    }
};

struct Op {
    char kind;  // ' ', '-' or '+'
    int line;   // in `before` for ' ' and '-', in `after` for '+'
};

void AppendLine(std::string& out, char kind, std::string_view line) {
    out += kind;
    out.append(line.data(), line.size());
    if (line.empty() || line.back() != '\n') out += "\n\\ No newline at end of file\n";
}

void AppendRange(std::string& out, int start, int count) {
    out += std::to_string(count > 0 ? start + 1 : start);
    out += ',';
    out += std::to_string(count);
}

}  // namespace

std::string UnifiedDiff(const std::string& path, const std::string& before, const std::string& after) {
    if (before == after) return std::string();
    const std::vector<std::string_view> a = SplitLines(before), b = SplitLines(after);
    // Lines compared as numbers: equal text, equal number.
    std::unordered_map<std::string_view, int> ids;
    std::vector<int> ia, ib;
    ia.reserve(a.size());
    ib.reserve(b.size());
    for (std::string_view l : a) ia.push_back(ids.emplace(l, static_cast<int>(ids.size())).first->second);
    for (std::string_view l : b) ib.push_back(ids.emplace(l, static_cast<int>(ids.size())).first->second);
    const LineDiff d(ia, ib);

    std::vector<Op> ops;
    std::vector<int> aBefore, bBefore;  // lines of each side before ops[k]
    int i = 0, j = 0;
    const int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
    while (i < n || j < m) {
        aBefore.push_back(i);
        bBefore.push_back(j);
        if (i < n && d.removed[i]) {
            ops.push_back({'-', i++});
        } else if (j < m && d.added[j]) {
            ops.push_back({'+', j++});
        } else {
            ops.push_back({' ', i++});
            ++j;
        }
    }
    aBefore.push_back(i);
    bBefore.push_back(j);

    std::string out = "--- a/" + path + "\n+++ b/" + path + "\n";
    const int count = static_cast<int>(ops.size());
    int k = 0;
    while (k < count) {
        while (k < count && ops[k].kind == ' ') ++k;
        if (k == count) break;
        const int start = k > kContext ? k - kContext : 0;
        // The hunk goes on while the next change is close enough to share context.
        int end = k;
        for (;;) {
            while (end < count && ops[end].kind != ' ') ++end;
            int next = end;
            while (next < count && ops[next].kind == ' ') ++next;
            if (next < count && next - end <= 2 * kContext) {
                end = next;
                continue;
            }
            end = end + kContext < count ? end + kContext : count;
            break;
        }
        int aCount = 0, bCount = 0;
        for (int t = start; t < end; ++t) {
            if (ops[t].kind != '+') ++aCount;
            if (ops[t].kind != '-') ++bCount;
        }
        out += "@@ -";
        AppendRange(out, aBefore[start], aCount);
        out += " +";
        AppendRange(out, bBefore[start], bCount);
        out += " @@\n";
        for (int t = start; t < end; ++t)
            AppendLine(out, ops[t].kind, ops[t].kind == '+' ? b[ops[t].line] : a[ops[t].line]);
        k = end;
    }
    return out;
}

}  // namespace vantor::cli
