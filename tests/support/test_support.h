// Shared helpers for the unit tests.
#pragma once

#include <string>

namespace vantor::test {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() + "/" + rel
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);  // empty when missing
bool FileExists(const std::string& path);

// One run of vantor-cli as a script sees it, in the C locale.
struct CliRun {
    int status;  // exit status, -1 when it did not exit normally
    std::string out;
    std::string err;
};
std::string ShellQuote(const std::string& s);
CliRun RunCli(const std::string& args, const std::string& cwd = "");

}  // namespace vantor::test
