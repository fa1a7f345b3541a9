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
// False when the folder cannot be listed (entries is then empty; `error`
// tells why).
bool ListFolder(const std::string& folder, std::vector<DirEntry>& entries, int* error = nullptr);

// The error code for a path that is there but is no regular file (a folder,
// a FIFO, a device): opening one to read it as a source could block forever.
constexpr int kErrNotRegularFile = -1;
// What the system says of an error code (errno), or of kErrNotRegularFile.
std::string ErrorText(int error);

enum class PathKind { Missing, File, Folder, Other, Error };
// What `path` names, links followed; Error (with `error` set) when it cannot
// be looked at, for instance because it is too long.
PathKind KindOfPath(const std::string& path, int* error = nullptr);
// The error means the path is longer than the system allows.
bool IsNameTooLong(int error);

bool PathExists(const std::string& path);
bool IsFile(const std::string& path);
bool IsFolder(const std::string& path);
// Both paths name the same existing file (through links or another spelling).
bool SameFile(const std::string& a, const std::string& b);
// Creates the folder and its missing parents; true when it exists afterwards.
bool CreateFolders(const std::string& path);
// Removes a file (or an empty folder); true when it is gone.
bool RemoveFile(const std::string& path);
// Renames, replacing an existing file `to` in one step; true on success, else `error` tells why.
bool RenameFile(const std::string& from, const std::string& to, int* error = nullptr);
// Creates `path` as a new file for binary writing, never through a link nor
// into another file's data: a file or link left under that name (an earlier
// output, a planted link) is removed first (a link goes, never its target;
// anything else under the name is refused), then the file is created exclusively with the permission bits `mode` (less
// the umask). Null with `error` set when that fails, for instance because
// another file appeared under the name in between.
FILE* CreateNewFile(const std::string& path, unsigned mode, int& error);
// Last modification time in seconds since 1970; false when it cannot be read.
bool FileModificationTime(const std::string& path, int64_t& seconds);

// The whole file's bytes into `bytes`; false, with `error` set, when it
// cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes, int* error = nullptr);

// fopen that takes UTF-8 paths on Windows too.
FILE* OpenFile(const std::string& path, const char* mode);

// What a rewritten file takes over from its source.
struct FileOwnership {
    unsigned mode = 0644;  // permission bits, with set-id and sticky bits
    unsigned owner = 0;
    unsigned group = 0;
    bool writable = true;  // the runner may write it, as its permission bits say
};

// An open source file whose exclusive advisory lock is held for as long as
// the object lives: another run that meets the lock leaves the file alone.
class SourceLock {
public:
    SourceLock() = default;
    explicit SourceLock(int fd) : fd_(fd) {}
    SourceLock(SourceLock&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    SourceLock& operator=(SourceLock&& o) noexcept;
    SourceLock(const SourceLock&) = delete;
    SourceLock& operator=(const SourceLock&) = delete;
    ~SourceLock() { Release(); }
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A file opened for reading in large blocks, straight from the system: no
// stream, no buffer of its own (the reader of source lines brings one).
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() { Close(); }

    // Only a regular file is opened (anything else fails with
    // kErrNotRegularFile); Error() tells why an Open failed.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Error() const { return error_; }
    // Up to `n` bytes into `buf`: how many were read, 0 at the end, -1 on error.
    long long Read(char* buf, size_t n);

    const FileOwnership& Ownership() const { return ownership_; }
    // Takes the exclusive lock of the open file without waiting. False when
    // another run holds it, or when `path` no longer names the file opened
    // (another run has put a rewritten file in its place meanwhile).
    bool TryLock(const std::string& path);
    // The open file with its lock goes to the lock object; this one is closed.
    SourceLock TakeLock();

private:
    int fd_ = -1;
    int error_ = 0;
    FileOwnership ownership_;
    unsigned long long device_ = 0, inode_ = 0;
};

// Gives the file written through `f` the source's owner and group (where the
// runner may) and then its permission bits. False, with `error`, when the bits
// could not be set.
bool TakeOwnership(FILE* f, const FileOwnership& from, int& error);

// `fresh` takes the place of `source`, and the file that was `source` is kept
// as `backup` (an earlier `backup` goes). True on success; on failure the
// source is where it was and `error` tells why. On POSIX the source is
// replaced in one step: a second name for it is made first, then `fresh` is
// renamed over it, so at no moment is there no file under its name.
bool ReplaceKeepingBackup(const std::string& source, const std::string& fresh, const std::string& backup,
                          int* error = nullptr);
// Raises the process's limit of open files to at least `count` where the
// system allows: each rewrite waiting to be swapped in holds its source open.
void EnsureOpenFiles(unsigned count);
// Flushes the stream and asks the system to put its data on the disk.
bool FlushToDisk(FILE* f);
// Puts the data of closed files on the disk; `ok[i]` tells for `paths[i]`
// (`errors[i]` why not, when given).
// Many files at once cost about what one costs: on Linux one syncfs per file
// system (which also flushes whatever else is waiting on it), elsewhere the
// writes of all of them are started before the first wait.
void FlushFilesToDisk(const std::vector<std::string>& paths, std::vector<bool>& ok,
                      std::vector<int>* errors = nullptr);

}  // namespace vantor
