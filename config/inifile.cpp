#include "config/inifile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "config/settings.h"
#include "platform/fs.h"
#include "platform/text.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fsys = std::filesystem;

namespace vantor {

namespace {

// The private-profile functions trim these, Ctrl-Z included (an old end-of-file mark).
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string Trim(const std::string& s, size_t from = 0, size_t to = std::string::npos) {
    if (to > s.size()) to = s.size();
    while (from < to && IsBlank(s[from])) ++from;
    while (to > from && IsBlank(s[to - 1])) --to;
    return s.substr(from, to - from);
}

bool IsBlankLine(const std::string& s) {
    for (char c : s)
        if (!IsBlank(c)) return false;
    return true;
}

bool HasLineBreakOrNul(const std::string& s) { return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

// Optional sign, then decimal digits only, within 32 bits.
bool ParseInt32(const std::string& text, int32_t& out) {
    std::string s = Trim(text);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (!IsAsciiDigit(static_cast<unsigned char>(s[i]))) return false;
        v = v * 10 + (s[i] - '0');
        if (v > int64_t{1} << 31) return false;
    }
    if (negative) v = -v;
    if (v > INT32_MAX) return false;
    out = static_cast<int32_t>(v);
    return true;
}

std::string SystemError(int err) { return std::generic_category().message(err); }

void SetError(std::string* error, const char* fr, const char* en, const std::string& path, const std::string& why) {
    if (!error) return;
    *error = Tr(fr, en);
    *error += path;
    if (!why.empty()) *error += Tr(" : ", ": ") + why;
}

// A name for the temporary file beside `target` that no other save picks.
std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = [] {
        try {
            return std::random_device{}();
        } catch (...) {
            return static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
        }
    }();
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x%04x.tmp", seed, (counter++ * 2654435761u) & 0xffffu);
    return target + suffix;
}

}  // namespace

IniFile::Line IniFile::ParseLine(std::string text) {
    Line line;
    line.text = std::move(text);
    const std::string& s = line.text;
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    if (b == e || s[b] == ';') return line;
    if (s[b] == '[') {
        size_t close = s.rfind(']', e - 1);
        if (close != std::string::npos && close > b) {
            line.kind = LineKind::Section;
            line.name = Trim(s, b + 1, close);
            return line;
        }
    }
    size_t eq = s.find('=', b);
    if (eq == std::string::npos || eq >= e) return line;
    line.name = Trim(s, b, eq);
    if (line.name.empty()) return line;
    line.kind = LineKind::Key;
    line.value = Trim(s, eq + 1, e);
    return line;
}

void IniFile::Clear() {
    lines_.clear();
    crlf_ = kPlatformCrLf;
    bom_ = false;
    missing_ = false;
}

void IniFile::SetText(const std::string& bytes) {
    Clear();
    size_t i = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        bom_ = true;
        i = 3;
    }
    bool eolSeen = false;
    size_t start = i;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines_.push_back(ParseLine(bytes.substr(start, i - start)));
        bool pair = c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
        if (!eolSeen && (pair || c == '\n')) crlf_ = pair;
        eolSeen = true;
        i += pair ? 2 : 1;
        start = i;
    }
    if (start < bytes.size()) lines_.push_back(ParseLine(bytes.substr(start)));
}

std::string IniFile::Text() const {
    const char* eol = crlf_ ? "\r\n" : "\n";
    std::string out;
    if (bom_) out += "\xEF\xBB\xBF";
    for (const Line& l : lines_) {
        out += l.text;
        out += eol;
    }
    return out;
}

bool IniFile::Load(const std::string& path, std::string* error) {
    Clear();
    if (!PathExists(path)) {
        missing_ = true;
        SetError(error, "fichier introuvable : ", "file not found: ", path, "");
        return false;
    }
    if (IsFolder(path)) {
        SetError(error, "impossible de lire ", "unable to read ", path, Tr("c'est un dossier", "it is a folder"));
        return false;
    }
    std::string bytes;
    int err = 0;
    if (!ReadWholeFile(path, bytes, &err)) {
        SetError(error, "impossible de lire ", "unable to read ", path, SystemError(err));
        return false;
    }
    SetText(bytes);
    return true;
}

bool IniFile::Save(const std::string& path, std::string* error) const {
    const char* fr = "impossible d'écrire ";
    const char* en = "unable to write ";
    std::error_code ec;
    fsys::path p = fsys::u8path(path);
    // Write through a symbolic link, so that the link stays a link.
    if (fsys::is_symlink(fsys::symlink_status(p, ec)) && fsys::exists(p, ec)) {
        p = fsys::canonical(p, ec);
        if (ec) {
            SetError(error, fr, en, path, ec.message());
            return false;
        }
    }
    std::string target = p.u8string();
    fsys::file_status oldStatus = fsys::status(p, ec);
    bool existed = !ec && fsys::exists(oldStatus);
    if (existed) {
        if (fsys::is_directory(oldStatus)) {
            SetError(error, fr, en, path, Tr("c'est un dossier", "it is a folder"));
            return false;
        }
        // The rename would replace a file that its owner made read-only.
#ifdef _WIN32
        bool readOnly = (oldStatus.permissions() & fsys::perms::owner_write) == fsys::perms::none;
        int err = EACCES;
#else
        bool readOnly = access(target.c_str(), W_OK) != 0;
        int err = errno;
#endif
        if (readOnly) {
            SetError(error, fr, en, path, SystemError(err));
            return false;
        }
    }

    std::string temp;
    FILE* f = nullptr;
    for (int attempt = 0; attempt < 16 && !f; ++attempt) {
        temp = TemporaryName(target);
        f = OpenFile(temp, "wbx");
        if (!f && errno != EEXIST) break;
    }
    if (!f) {
        SetError(error, fr, en, path, SystemError(errno));
        return false;
    }
    std::string bytes = Text();
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && FlushToDisk(f);
    int err = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && existed) fsys::permissions(fsys::u8path(temp), oldStatus.permissions(), ec);  // best effort
    if (ok && !RenameFile(temp, target)) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        RemoveFile(temp);
        SetError(error, fr, en, path, SystemError(err ? err : EIO));
        return false;
    }
    return true;
}

bool IniFile::FindSection(const std::string& section, size_t& header, size_t& end) const {
    std::string name = Trim(section);
    size_t i = 0;
    while (i < lines_.size() && !(lines_[i].kind == LineKind::Section && EqualsNoCase(lines_[i].name, name))) ++i;
    if (i == lines_.size()) return false;
    header = i;
    for (end = i + 1; end < lines_.size() && lines_[end].kind != LineKind::Section; ++end) {
    }
    return true;
}

const IniFile::Line* IniFile::FindKey(const std::string& section, const std::string& key) const {
    size_t header, end;
    if (!FindSection(section, header, end)) return nullptr;
    std::string name = Trim(key);
    for (size_t i = header + 1; i < end; ++i)
        if (lines_[i].kind == LineKind::Key && EqualsNoCase(lines_[i].name, name)) return &lines_[i];
    return nullptr;
}

bool IniFile::SectionExists(const std::string& section) const {
    size_t header, end;
    return FindSection(section, header, end);
}

bool IniFile::KeyExists(const std::string& section, const std::string& key) const {
    return FindKey(section, key) != nullptr;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    const Line* l = FindKey(section, key);
    if (!l) return def;
    const std::string& v = l->value;
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    return v;
}

int32_t IniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
    if (!KeyExists(section, key)) return def;
    int32_t v;
    return ParseInt32(ReadString(section, key, ""), v) ? v : def;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::vector<std::string> IniFile::ReadSection(const std::string& section) const {
    std::vector<std::string> keys;
    size_t header, end;
    if (!FindSection(section, header, end)) return keys;
    for (size_t i = header + 1; i < end; ++i)
        if (lines_[i].kind == LineKind::Key) keys.push_back(lines_[i].name);
    return keys;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionValues(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> pairs;
    size_t header, end;
    if (!FindSection(section, header, end)) return pairs;
    for (size_t i = header + 1; i < end; ++i)
        if (lines_[i].kind == LineKind::Key) pairs.emplace_back(lines_[i].name, lines_[i].value);
    return pairs;
}

bool IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    std::string sectionName = Trim(section);
    std::string keyName = Trim(key);
    if (sectionName.empty() || keyName.empty() || HasLineBreakOrNul(section) || HasLineBreakOrNul(key) ||
        HasLineBreakOrNul(value) || keyName.find('=') != std::string::npos || keyName[0] == ';' ||
        keyName[0] == '[')
        return false;
    size_t skip = 0;
    while (skip < value.size() && IsBlank(value[skip])) ++skip;
    std::string v = value.substr(skip);

    size_t header, end;
    if (!FindSection(sectionName, header, end)) {
        lines_.push_back(ParseLine("[" + sectionName + "]"));
        lines_.push_back(ParseLine(keyName + "=" + v));
        return true;
    }
    for (size_t i = header + 1; i < end; ++i) {
        Line& l = lines_[i];
        if (l.kind == LineKind::Key && EqualsNoCase(l.name, keyName)) {
            l = ParseLine(l.name + "=" + v);
            return true;
        }
    }
    // After the section's last line that is not blank, so that a blank line
    // before the next section stays where it is.
    size_t at = end;
    while (at > header + 1 && IsBlankLine(lines_[at - 1].text)) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), ParseLine(keyName + "=" + v));
    return true;
}

bool IniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    return WriteString(section, key, std::to_string(value));
}

bool IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseSection(const std::string& section) {
    size_t header, end;
    while (FindSection(section, header, end))
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace vantor
