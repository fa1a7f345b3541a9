// tokdiff: checks what Apply promises on a whole tree. For every FILE that
// has a FILE.bak beside it, the tokens of FILE must equal the tokens of
// FILE.bak with only "{" and "}" added, as many of one as of the other.
//
// Its tokenizer is its own, on purpose: a C, C++ and Java lexer that knows
// multi-character operators and numbers, so that a cut inside "->" or inside
// "1.5e3" shows up. White space is not a token; inside a comment every run of
// white space counts as one blank (Apply re-indents comment lines).
//
//   tokdiff [-q] ROOT...     exit 0 when every file keeps the promise
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Token {
    std::string text;
    int line;
};

bool ReadAll(const fs::path& p, std::string& out) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
}

inline bool IsWord(unsigned char c) {
    return c == '_' || c == '$' || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c >= 0x80;
}
inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

const char* const kOperators[] = {">>>=", "<<=", ">>=", ">>>", "...", "->*", "->", "++", "--", "<<", ">>", "<=",
                                  ">=",   "==",  "!=",  "&&",  "||",  "+=",  "-=", "*=", "/=", "%=", "&=", "|=",
                                  "^=",   "::",  "##",  ".*"};

class Lexer {
public:
    explicit Lexer(const std::string& s) : s_(s) {}

    std::vector<Token> All() {
        std::vector<Token> out;
        Token t;
        while (Next(t)) out.push_back(t);
        return out;
    }

private:
    char At(size_t i) const { return i < s_.size() ? s_[i] : '\0'; }

    // A backslash before the line end joins two lines: it is white space.
    size_t Splice(size_t i) const {
        if (At(i) != '\\') return 0;
        if (At(i + 1) == '\n') return 2;
        if (At(i + 1) == '\r' && At(i + 2) == '\n') return 3;
        return 0;
    }

    void Advance(size_t n) {
        for (size_t k = 0; k < n && i_ < s_.size(); ++k, ++i_)
            if (s_[i_] == '\n') ++line_;
    }

    // Comment text with every run of white space (line splices included) as one blank.
    void Comment(Token& t, bool block) {
        t.text = block ? "/*" : "//";
        Advance(2);
        bool space = false;
        while (i_ < s_.size()) {
            if (block && s_[i_] == '*' && At(i_ + 1) == '/') {
                Advance(2);
                t.text += space ? " */" : "*/";
                return;
            }
            if (!block && s_[i_] == '\n') return;
            if (const size_t n = Splice(i_)) {
                Advance(n);
                space = true;
                continue;
            }
            if (IsSpace(s_[i_])) {
                space = true;
                Advance(1);
                continue;
            }
            if (space) t.text += ' ';
            space = false;
            t.text += s_[i_];
            Advance(1);
        }
    }

    // A Java text block: three double quotes that end their line open it,
    // three more close it; its lines, white space included, are its data.
    bool TextBlock(Token& t) {
        if (s_.compare(i_, 3, "\"\"\"") != 0) return false;
        size_t j = i_ + 3;
        while (j < s_.size() && (s_[j] == ' ' || s_[j] == '\t' || s_[j] == '\r')) ++j;
        if (j >= s_.size() || s_[j] != '\n') return false;
        while (j < s_.size() && s_.compare(j, 3, "\"\"\"") != 0) j += (s_[j] == '\\') ? 2 : 1;
        j = j < s_.size() ? j + 3 : s_.size();
        t.text.assign(s_, i_, j - i_);
        Advance(j - i_);
        return true;
    }

    void Literal(Token& t) {
        if (TextBlock(t)) return;
        const char quote = s_[i_];
        size_t j = i_ + 1;
        while (j < s_.size() && s_[j] != quote && s_[j] != '\n') j += (s_[j] == '\\') ? 2 : 1;
        if (j < s_.size() && s_[j] == quote) ++j;
        if (j > s_.size()) j = s_.size();
        t.text.assign(s_, i_, j - i_);
        Advance(j - i_);
    }

    bool Next(Token& t) {
        for (;;) {
            if (i_ >= s_.size()) return false;
            if (IsSpace(s_[i_])) {
                Advance(1);
                continue;
            }
            if (const size_t n = Splice(i_)) {
                Advance(n);
                continue;
            }
            break;
        }
        t.line = line_;
        const char c = s_[i_];
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' && At(i_ + 1) == '/') {
            Comment(t, false);
        } else if (c == '/' && At(i_ + 1) == '*') {
            Comment(t, true);
        } else if (c == '"' || c == '\'') {
            Literal(t);
        } else if (IsDigit(u) || (c == '.' && IsDigit(static_cast<unsigned char>(At(i_ + 1))))) {
            // A number: digits, letters, "_", "." and a sign after an exponent letter.
            size_t j = i_ + 1;
            while (j < s_.size()) {
                const char d = s_[j];
                if ((d == '+' || d == '-') && (s_[j - 1] | 0x20) != 'e' && (s_[j - 1] | 0x20) != 'p') break;
                if (!(IsWord(static_cast<unsigned char>(d)) || d == '.' || d == '+' || d == '-')) break;
                ++j;
            }
            t.text.assign(s_, i_, j - i_);
            Advance(j - i_);
        } else if (IsWord(u) || c == '#') {
            size_t j = i_ + 1;
            while (j < s_.size() && IsWord(static_cast<unsigned char>(s_[j]))) ++j;
            t.text.assign(s_, i_, j - i_);
            Advance(j - i_);
        } else {
            size_t len = 1;
            for (const char* op : kOperators) {
                const size_t n = std::strlen(op);
                if (s_.compare(i_, n, op) == 0) {
                    len = n;
                    break;
                }
            }
            t.text.assign(s_, i_, len);
            Advance(len);
        }
        return true;
    }

    const std::string& s_;
    size_t i_ = 0;
    int line_ = 1;
};

struct Result {
    bool ok = true;
    long opened = 0;
    long closed = 0;
    std::string why;
};

Result Compare(const std::vector<Token>& before, const std::vector<Token>& after) {
    Result r;
    size_t i = 0, j = 0;
    while (j < after.size()) {
        if (i < before.size() && before[i].text == after[j].text) {
            ++i;
            ++j;
        } else if (after[j].text == "{") {
            ++r.opened;
            ++j;
        } else if (after[j].text == "}") {
            ++r.closed;
            ++j;
        } else {
            break;
        }
    }
    if (i < before.size() || j < after.size()) {
        r.ok = false;
        std::ostringstream why;
        why << "tokens differ: original line " << (i < before.size() ? before[i].line : -1) << " \""
            << (i < before.size() ? before[i].text.substr(0, 60) : "<end>") << "\", rewritten line "
            << (j < after.size() ? after[j].line : -1) << " \""
            << (j < after.size() ? after[j].text.substr(0, 60) : "<end>") << "\"";
        r.why = why.str();
    } else if (r.opened != r.closed) {
        r.ok = false;
        r.why = "inserted " + std::to_string(r.opened) + " \"{\" but " + std::to_string(r.closed) + " \"}\"";
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    std::vector<std::string> roots;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-q") == 0)
            quiet = true;
        else
            roots.push_back(argv[i]);
    }
    if (roots.empty()) {
        std::fprintf(stderr, "usage: tokdiff [-q] ROOT...\n");
        return 2;
    }
    long files = 0, broken = 0, braces = 0;
    for (const std::string& root : roots) {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->is_regular_file(ec)) continue;
            const fs::path bak = it->path();
            if (bak.extension() != ".bak") continue;
            fs::path rewritten = bak;
            rewritten.replace_extension();
            std::string a, b;
            if (!ReadAll(bak, a) || !ReadAll(rewritten, b)) {
                std::printf("%s: cannot read\n", rewritten.c_str());
                ++broken;
                continue;
            }
            ++files;
            const Result r = Compare(Lexer(a).All(), Lexer(b).All());
            if (r.ok) braces += r.opened;
            if (!r.ok) {
                ++broken;
                std::printf("%s: %s\n", rewritten.c_str(), r.why.c_str());
            } else if (!quiet && r.opened > 0) {
                std::printf("%s: %ld brace pairs inserted\n", rewritten.c_str(), r.opened);
            }
        }
    }
    std::printf("tokdiff: %ld rewritten files, %ld brace pairs inserted, %ld break the token guarantee\n", files,
                braces, broken);
    return broken == 0 ? 0 : 1;
}
