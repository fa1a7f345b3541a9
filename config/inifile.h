// A small INI reader and writer that behaves like the Windows private-profile
// functions where a configuration file can tell the difference, so that files
// written here and by the Windows tool read the same on both sides.
//
// The file is held in memory as its lines: whatever is not touched (unknown
// keys and sections, comments, blank lines) is written back as it was.
//
// Reading rules:
// - A line whose first non-blank character is "[" and that holds a "]" later
//   is a section header; the name is the text up to the last "]", trimmed.
// - Any other line holding "=" is a key line: the key is the text before the
//   first "=", the value the text after it, both trimmed of blanks.
// - Lines without "=" and lines starting with ";" are kept but are not keys:
//   ReadSection and ReadSectionValues do not return them and no lookup finds
//   them. (GetPrivateProfileSection would return a line without "=" as it
//   stands; nothing here needs that, and a key without a value would only
//   turn into a dictionary row with an empty new name.)
// - Lines before the first section header belong to no section.
// - Section and key names compare without regard to ASCII letter case. When a
//   section or a key appears twice, the first one answers.
// - Line ends may be CR LF, LF or CR; the file is saved with the first line end
//   found in it (a new file: the platform's). A UTF-8 byte-order mark is kept.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vantor {

class IniFile {
public:
    IniFile() { Clear(); }

    // Reads the file. False with an error text when it cannot be read; a file
    // that does not exist also gives false, leaves the content empty and sets
    // Missing(), so that a caller may go on as with an empty file.
    bool Load(const std::string& path, std::string* error = nullptr);
    bool Missing() const { return missing_; }

    // Writes the content to a temporary file in the same folder, flushes it to
    // disk and renames it over `path`: either the old file or the complete new
    // one is there afterwards, never a half-written file. A read-only `path`
    // is refused. False with an error text on failure.
    bool Save(const std::string& path, std::string* error = nullptr) const;

    // The content as Save would write it, and its opposite (no disk access).
    std::string Text() const;
    void SetText(const std::string& bytes);

    bool SectionExists(const std::string& section) const;
    bool KeyExists(const std::string& section, const std::string& key) const;

    // The value, without one pair of enclosing double quotes; `def` when the key is missing.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // A decimal integer with an optional sign, blanks around it allowed; `def`
    // when the key is missing or its value is not such a number in 32 bits.
    // "0x" hexadecimal is not a number, as for GetPrivateProfileInt.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
    // True when the value reads as a non-zero integer; `def` when it does not read as one.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // Key names of the section in file order (duplicates included).
    std::vector<std::string> ReadSection(const std::string& section) const;
    // Key and value of each key line of the section, in file order; the value
    // as it stands in the file (trimmed, quotes kept).
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(const std::string& section) const;

    // Replaces the value of an existing key in place (its spelling in the file
    // is kept), or adds the key after the last line of its section, creating
    // the section at the end of the file when it is missing. Leading blanks of
    // the value are not written, as WritePrivateProfileString does; read back
    // they would be lost anyway.
    // Refused (false, nothing changed) when the text could not be read back
    // as written: a line end or NUL byte anywhere, an empty section or key
    // name, a key holding "=" or starting with ";" or "[".
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInteger(const std::string& section, const std::string& key, int32_t value);
    bool WriteBool(const std::string& section, const std::string& key, bool value);  // "1" or "0"

    // Removes the section with its header, keys and any comment or blank line
    // in it. Every section of that name goes: a second copy left behind would
    // take the erased one's place and mix stale entries into the new ones.
    void EraseSection(const std::string& section);

    void Clear();

private:
    enum class LineKind : uint8_t { Other, Section, Key };
    struct Line {
        std::string text;  // as written, without line end
        LineKind kind = LineKind::Other;
        std::string name;   // section or key name, trimmed
        std::string value;  // key lines: the value, trimmed
    };

    static Line ParseLine(std::string text);
    // First section of that name: index of its header and one past its last line.
    bool FindSection(const std::string& section, size_t& header, size_t& end) const;
    const Line* FindKey(const std::string& section, const std::string& key) const;

    std::vector<Line> lines_;
    bool crlf_ = false;
    bool bom_ = false;
    bool missing_ = false;
};

}  // namespace vantor
