#include "platform/version.h"

#include <cstring>
#include <fstream>
#include <iterator>

// Layout of the block (platform/version_block.c.in writes it):
//   marker "\0" then string tables, each "<translation>\0" followed by
//   "<key>\0<value>\0" pairs and an empty key; an empty translation ends the
//   block. Only the French table "040C04E4" counts, as on Windows.
namespace {

// The marker is assembled here at run time: written as a literal, it would sit
// in this very program's constant data and be found before the real block.
std::string BlockMarker() {
    static const char shifted[] = "WBOUPS.WFSTJPO.CMPDL";   // each letter one after the marker's
    volatile int step = 1;
    std::string marker;
    for (const char* c = shifted; *c; ++c) marker += static_cast<char>(*c - step);
    return marker;
}

// The text starting at `pos` up to its terminating zero; false when the
// buffer ends first (a cut or damaged block is no block).
bool ReadText(const std::string& data, size_t& pos, std::string& text) {
    size_t end = data.find('\0', pos);
    if (end == std::string::npos) return false;
    text.assign(data, pos, end - pos);
    pos = end + 1;
    return true;
}

}  // namespace

TVersion::TVersion(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) slash = path.find_last_of('/');
    baseName = slash == std::string::npos ? path : path.substr(slash + 1);
    baseName = baseName.substr(0, baseName.find('.'));

    std::ifstream in(path, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string marker = BlockMarker() + '\0';
    bool parsed = false;
    // Several candidates: a program's other data may hold the marker's bytes
    // by chance; the first one that parses to the end wins.
    for (size_t at = data.find(marker); at != std::string::npos && !parsed;
         at = data.find(marker, at + 1)) {
        size_t pos = at + marker.size();
        std::string translation, key, value;
        std::string found[7];
        bool ok = true, french = false, withFile = false;
        while ((ok = ReadText(data, pos, translation)) && !translation.empty()) {
            bool thisOne = translation == "040C04E4" && !french;
            while ((ok = ReadText(data, pos, key)) && !key.empty()) {
                if (!(ok = ReadText(data, pos, value))) break;
                if (!thisOne) continue;
                static const char* const keys[7] = {"ProductVersion", "FileVersion", "ProductName",
                                                    "FileDescription", "CompanyName",
                                                    "LegalCopyright", "LegalTrademarks"};
                for (int i = 0; i < 7; ++i)
                    if (key == keys[i]) {
                        found[i] = value;
                        if (i == 1) withFile = true;
                    }
            }
            if (!ok) break;
            if (thisOne) french = true;
        }
        if (!ok) continue;
        parsed = true;
        if (french) {
            productVersion = found[0];
            fileVersion = withFile ? found[1] : found[0];
            productName = found[2];
            description = found[3];
            company = found[4];
            copyright = found[5];
            trademarks = found[6];
        }
    }
    if (productName.empty()) productName = baseName;
}
