#include "platform/filedate.h"

#include <cstdio>
#include <ctime>

#include "platform/fs.h"

namespace vantor {

std::string FormatFileDate(int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds - (seconds & 1));
    std::tm tm{};
#ifdef _WIN32
    if (localtime_s(&tm, &t) != 0) return std::string();
#else
    if (!localtime_r(&t, &tm)) return std::string();
#endif
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

bool FileDateText(const std::string& path, std::string& text) {
    int64_t seconds = 0;
    if (!FileModificationTime(path, seconds)) {
        text.clear();
        return false;
    }
    text = FormatFileDate(seconds);
    return !text.empty();
}

}  // namespace vantor
