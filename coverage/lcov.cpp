#include "coverage/lcov.h"

#include <cstdio>
#include <filesystem>
#include <map>

#include "coverage/component.h"
#include "platform/fs.h"

namespace vantor {

namespace {

// Names come from trace bytes: a line end inside one would start a record of
// its own in the tracefile.
void AppendName(std::string& out, const std::string& name) {
    for (char c : name) out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
}

std::string SourcePath(const std::string& name, const std::string& base) {
    if (base.empty()) return name;
    const std::filesystem::path p(name);
    if (p.is_absolute()) return name;
    return (std::filesystem::path(base) / p).lexically_normal().generic_string();
}

void AppendField(std::string& out, const char* key, long long a) {
    out += key;
    out += std::to_string(a);
    out += '\n';
}

}  // namespace

void AppendLcovTracefile(std::string& out, const std::string& base) {
    for (const Component* c = FirstComponent(); c; c = c->NextComponent()) {
        out += "TN:\nSF:";
        AppendName(out, SourcePath(c->name, base));
        out += '\n';
        std::map<int, bool> lines;  // first line -> a branch starting there was executed
        long long found = 0, hit = 0;
        for (size_t j = 0; j < c->covered.size(); ++j) {
            int line = c->FirstLine(j);
            if (line == 0) continue;  // lcov lines start at 1
            bool taken = c->covered[j] != 0;
            out += "BRDA:" + std::to_string(line) + ",0," + std::to_string(j) + (taken ? ",1\n" : ",0\n");
            ++found;
            if (taken) ++hit;
            lines[line] = lines[line] || taken;
        }
        AppendField(out, "BRF:", found);
        AppendField(out, "BRH:", hit);
        long long lineHits = 0;
        for (const auto& l : lines) {
            out += "DA:" + std::to_string(l.first) + (l.second ? ",1\n" : ",0\n");
            if (l.second) ++lineHits;
        }
        AppendField(out, "LF:", static_cast<long long>(lines.size()));
        AppendField(out, "LH:", lineHits);
        out += "end_of_record\n";
    }
}

bool WriteLcovTracefile(const std::string& path, const std::string& base) {
    std::string text;
    AppendLcovTracefile(text, base);
    FILE* f = OpenFile(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0) ok = false;
    return ok;
}

}  // namespace vantor
