// The file-system services the batch needs, behind one small interface so
// that the walk and the pipeline read the same on POSIX and on Windows.
// Paths are narrow strings (UTF-8 on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vantor {

#ifdef _WIN32
constexpr char kPathSep[] = "\\";
#else
constexpr char kPathSep[] = "/";
#endif

// A folder text may end in either separator, whatever the platform.
inline bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }
inline bool EndsWithSeparator(const std::string& s) { return !s.empty() && IsPathSeparator(s.back()); }

// `folder` ending in the platform separator; a final "/" or "\\" is taken as
// the separator and replaced by it (an empty text stays empty).
std::string WithTrailingSeparator(const std::string& folder);
// WithTrailingSeparator(folder) + name.
std::string JoinPath(const std::string& folder, const std::string& name);
// The part after the last "/" or "\\".
std::string BaseName(const std::string& path);

struct DirEntry {
    std::string name;
    bool isDir = false;           // a folder, links followed
    bool isFile = false;          // a regular file, links followed
    bool isHidden = false;        // name starts with "." (or hidden/system attribute on Windows)
    bool isSymlinkToDir = false;  // a symbolic link or junction whose target is a folder
};

// The entries of `folder`, without "." and "..", sorted by name without regard
// to letter case, byte order breaking ties: the order in which NTFS lists a
// folder, so that a run prints its files in the same order everywhere.
// False when the folder cannot be listed (entries is then empty).
bool ListFolder(const std::string& folder, std::vector<DirEntry>& entries);

bool PathExists(const std::string& path);
bool IsFile(const std::string& path);
bool IsFolder(const std::string& path);
// Both paths name the same existing file (through links or another spelling).
bool SameFile(const std::string& a, const std::string& b);
// Creates the folder and its missing parents; true when it exists afterwards.
bool CreateFolders(const std::string& path);
// Removes a file (or an empty folder); true when it is gone.
bool RemoveFile(const std::string& path);
// Renames, replacing an existing file `to`; true on success.
bool RenameFile(const std::string& from, const std::string& to);
// Last modification time in seconds since 1970; false when it cannot be read.
bool FileModificationTime(const std::string& path, int64_t& seconds);

// fopen that takes UTF-8 paths on Windows too.
FILE* OpenFile(const std::string& path, const char* mode);

// A file opened for reading in large blocks, straight from the system: no
// stream, no buffer of its own (the reader of source lines brings one).
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() { Close(); }

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // Up to `n` bytes into `buf`: how many were read, 0 at the end, -1 on error.
    long long Read(char* buf, size_t n);

private:
    int fd_ = -1;
};

// `fresh` takes the place of `source`, and the file that was `source` is kept
// as `backup` (an earlier `backup` goes). True on success; on failure the
// source is where it was. On POSIX the source is replaced in one step: a
// second name for it is made first, then `fresh` is renamed over it, so at no
// moment is there no file under its name.
bool ReplaceKeepingBackup(const std::string& source, const std::string& fresh, const std::string& backup);
// Flushes the stream and asks the system to put its data on the disk.
bool FlushToDisk(FILE* f);
// Puts the data of closed files on the disk; `ok[i]` tells for `paths[i]`.
// Many files at once cost about what one costs: on Linux one syncfs per file
// system (which also flushes whatever else is waiting on it), elsewhere the
// writes of all of them are started before the first wait.
void FlushFilesToDisk(const std::vector<std::string>& paths, std::vector<bool>& ok);

}  // namespace vantor
