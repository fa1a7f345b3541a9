#include "platform/fs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/text.h"

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fsys = std::filesystem;

namespace vantor {

namespace {

fsys::path ToPath(const std::string& s) { return fsys::u8path(s); }

// Case-blind order with byte order as tie-break, so the order is total.
bool NameBefore(const DirEntry& a, const DirEntry& b) {
    const std::string& x = a.name;
    const std::string& y = b.name;
    size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char cx = static_cast<unsigned char>(AsciiLower(x[i]));
        unsigned char cy = static_cast<unsigned char>(AsciiLower(y[i]));
        if (cx != cy) return cx < cy;
    }
    if (x.size() != y.size()) return x.size() < y.size();
    return x < y;
}

}  // namespace

std::string WithTrailingSeparator(const std::string& folder) {
    if (folder.empty()) return folder;
    std::string r = folder;
    if (EndsWithSeparator(r)) r.pop_back();
    r += kPathSep;
    return r;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return WithTrailingSeparator(folder) + name;
}

std::string BaseName(const std::string& path) {
    size_t i = path.find_last_of("/\\");
    return i == std::string::npos ? path : path.substr(i + 1);
}

#ifdef _WIN32
bool ListFolder(const std::string& folder, std::vector<DirEntry>& entries, int* error) {
    entries.clear();
    std::error_code ec;
    fsys::directory_iterator it(ToPath(folder), ec);
    if (ec) {
        if (error) *error = ec.value();
        return false;
    }
    for (; it != fsys::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fsys::directory_entry& de = *it;
        DirEntry e;
        e.name = de.path().filename().u8string();
        if (e.name == "." || e.name == "..") continue;
        std::error_code sec;
        fsys::file_status st = de.status(sec);  // follows links; a broken link is neither
        e.isDir = !sec && fsys::is_directory(st);
        e.isFile = !sec && fsys::is_regular_file(st);
        fsys::file_status lst = de.symlink_status(sec);
        bool link = !sec && fsys::is_symlink(lst);
        DWORD attr = GetFileAttributesW(de.path().c_str());
        if (attr != INVALID_FILE_ATTRIBUTES) {
            if (attr & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) e.isHidden = true;
            if (attr & FILE_ATTRIBUTE_REPARSE_POINT) link = true;  // junctions too
        }
        e.isSymlinkToDir = link && e.isDir;
        if (!e.name.empty() && e.name[0] == '.') e.isHidden = true;
        entries.push_back(std::move(e));
    }
    std::sort(entries.begin(), entries.end(), NameBefore);
    return true;
}
#else
bool ListFolder(const std::string& folder, std::vector<DirEntry>& entries, int* error) {
    entries.clear();
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        if (error) *error = errno;
        return false;
    }
    const std::string prefix = WithTrailingSeparator(folder);
    std::string path;
    // The kind comes with the name on most file systems: only links and
    // entries of unknown kind cost a look at the file itself.
    while (const struct dirent* d = readdir(dir)) {
        DirEntry e;
        e.name = d->d_name;
        if (e.name == "." || e.name == "..") continue;
        bool link = false;
        switch (d->d_type) {
            case DT_REG:
                e.isFile = true;
                break;
            case DT_DIR:
                e.isDir = true;
                break;
            case DT_LNK:
            case DT_UNKNOWN: {
                path = prefix + e.name;
                struct stat st;
                link = d->d_type == DT_LNK || (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
                // follows links; a broken link is neither
                if (stat(path.c_str(), &st) == 0) {
                    e.isDir = S_ISDIR(st.st_mode);
                    e.isFile = S_ISREG(st.st_mode);
                }
                break;
            }
            default:  // a device, pipe or socket: neither
                break;
        }
        e.isSymlinkToDir = link && e.isDir;
        if (!e.name.empty() && e.name[0] == '.') e.isHidden = true;
        entries.push_back(std::move(e));
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), NameBefore);
    return true;
}
#endif

std::string ErrorText(int error) {
    if (error == kErrNotRegularFile) return "Not a regular file";
    if (error == 0) return "Unknown error";
    return std::system_category().message(error);
}

bool IsNameTooLong(int error) {
#ifdef _WIN32
    return error == ENAMETOOLONG || error == ERROR_FILENAME_EXCED_RANGE;
#else
    return error == ENAMETOOLONG;
#endif
}

PathKind KindOfPath(const std::string& path, int* error) {
#ifdef _WIN32
    std::error_code ec;
    fsys::file_status st = fsys::status(ToPath(path), ec);
    if (st.type() == fsys::file_type::not_found) return PathKind::Missing;
    if (ec) {
        if (error) *error = ec.value();
        return PathKind::Error;
    }
    if (fsys::is_regular_file(st)) return PathKind::File;
    return fsys::is_directory(st) ? PathKind::Folder : PathKind::Other;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return PathKind::Missing;
        if (error) *error = errno;
        return PathKind::Error;
    }
    if (S_ISREG(st.st_mode)) return PathKind::File;
    return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
#endif
}

bool PathExists(const std::string& path) {
    std::error_code ec;
    return fsys::exists(ToPath(path), ec);
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return fsys::is_regular_file(ToPath(path), ec);
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return fsys::is_directory(ToPath(path), ec);
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    bool same = fsys::equivalent(ToPath(a), ToPath(b), ec);
    return !ec && same;
}

bool CreateFolders(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    fsys::path p = ToPath(path);
    fsys::create_directories(p, ec);
    return fsys::is_directory(p, ec);
}

bool RemoveFile(const std::string& path) {
    std::error_code ec;
    fsys::remove(ToPath(path), ec);
    return !ec && !fsys::exists(fsys::symlink_status(ToPath(path), ec));
}

bool RenameFile(const std::string& from, const std::string& to, int* error) {
    std::error_code ec;
    fsys::rename(ToPath(from), ToPath(to), ec);
    if (ec && error) *error = ec.value();
    return !ec;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, int* error) {
    bytes.clear();
    FILE* f = OpenFile(path, "rb");
    if (!f) {
        if (error) *error = errno;
        return false;
    }
    char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.append(block, n);
    const bool ok = !std::ferror(f);
    if (!ok && error) *error = errno;
    std::fclose(f);
    return ok;
}

bool FileModificationTime(const std::string& path, int64_t& seconds) {
#ifdef _WIN32
    struct _stat64 st;
    if (_wstat64(ToPath(path).c_str(), &st) != 0) return false;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
#endif
    seconds = static_cast<int64_t>(st.st_mtime);
    return true;
}

FILE* CreateNewFile(const std::string& path, unsigned mode, int& error) {
    for (int attempt = 0;; ++attempt) {
#ifdef _WIN32
        (void)mode;
        int fd = _wopen(ToPath(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode));
#endif
        if (fd >= 0) {
#ifdef _WIN32
            FILE* f = _fdopen(fd, "wb");
            if (f == nullptr) _close(fd);
#else
            FILE* f = fdopen(fd, "wb");
            if (f == nullptr) close(fd);
#endif
            if (f == nullptr) error = errno;
            return f;
        }
        error = errno;
        // Only one removal: a name that is taken again at once is someone
        // else's, and is left to them.
        if (error != EEXIST || attempt > 0) return nullptr;
        // Only a file or a link gives way; a device, a pipe or a folder under
        // the name is refused, never removed.
        std::error_code ec;
        const fsys::file_status st = fsys::symlink_status(ToPath(path), ec);
        if (!ec && !fsys::is_regular_file(st) && !fsys::is_symlink(st)) return nullptr;
#ifdef _WIN32
        if (_wunlink(ToPath(path).c_str()) != 0 && errno != ENOENT) {
#else
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
#endif
            error = errno;
            return nullptr;
        }
    }
}

SourceLock& SourceLock::operator=(SourceLock&& o) noexcept {
    if (this != &o) {
        Release();
        fd_ = o.fd_;
        o.fd_ = -1;
    }
    return *this;
}

void SourceLock::Release() {
    if (fd_ < 0) return;
#ifdef _WIN32
    _close(fd_);
#else
    close(fd_);  // the lock goes with the last descriptor of the open file
#endif
    fd_ = -1;
}

FILE* OpenFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(ToPath(path).c_str(), wmode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

namespace {

#ifndef _WIN32
// Who runs: asked once, not for every file of a tree.
struct Runner {
    uid_t uid = geteuid();
    gid_t gid = getegid();
};
const Runner& TheRunner() {
    static const Runner runner;
    return runner;
}

// Whether the runner may write a file of this owner and mode. The super-user
// may write anything, so for it a file that no one may write is read-only.
bool MayWrite(const struct stat& st) {
    const Runner& me = TheRunner();
    if (me.uid == 0) return (st.st_mode & 0222) != 0;
    if (me.uid == st.st_uid) return (st.st_mode & S_IWUSR) != 0;
    bool member = me.gid == st.st_gid;
    gid_t groups[256];
    const int n = member ? 0 : getgroups(256, groups);
    for (int i = 0; i < n && !member; ++i) member = groups[i] == st.st_gid;
    return (st.st_mode & (member ? S_IWGRP : S_IWOTH)) != 0;
}
#endif

}  // namespace

bool InputFile::Open(const std::string& path) {
    Close();
    error_ = 0;
#ifdef _WIN32
    fd_ = _wopen(ToPath(path).c_str(), _O_RDONLY | _O_BINARY);
    struct _stat64 st;
    if (fd_ >= 0 && _fstat64(fd_, &st) == 0) {
        if ((st.st_mode & _S_IFMT) != _S_IFREG) {
            Close();
            error_ = kErrNotRegularFile;
            return false;
        }
        ownership_.mode = static_cast<unsigned>(st.st_mode & 0777);
        ownership_.writable = (st.st_mode & _S_IWRITE) != 0;
    }
#else
    // Not blocking: a FIFO put where a source was must not hang the run (a
    // regular file reads the same either way).
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat st;
    if (fd_ >= 0) {
        if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            error_ = S_ISREG(st.st_mode) ? errno : kErrNotRegularFile;
            Close();
            return false;
        }
        ownership_.mode = static_cast<unsigned>(st.st_mode & 07777);
        ownership_.owner = st.st_uid;
        ownership_.group = st.st_gid;
        ownership_.writable = MayWrite(st);
        device_ = static_cast<unsigned long long>(st.st_dev);
        inode_ = static_cast<unsigned long long>(st.st_ino);
    }
#endif
    if (fd_ < 0 && error_ == 0) error_ = errno;
    return fd_ >= 0;
}

bool InputFile::TryLock(const std::string& path) {
    if (fd_ < 0) return false;
#ifdef _WIN32
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
    OVERLAPPED at{};
    (void)path;
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &at) != 0;
#else
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return false;
    // The lock is on the file opened; if another run has swapped a rewritten
    // file in under the name meanwhile, that file is not the one locked.
    struct stat st;
    return stat(path.c_str(), &st) == 0 && static_cast<unsigned long long>(st.st_dev) == device_ &&
           static_cast<unsigned long long>(st.st_ino) == inode_;
#endif
}

SourceLock InputFile::TakeLock() {
    SourceLock lock(fd_);
    fd_ = -1;
    return lock;
}

bool TakeOwnership(FILE* f, const FileOwnership& from, int& error) {
#ifdef _WIN32
    (void)f;
    (void)from;
    (void)error;
    return true;
#else
    const int fd = fileno(f);
    // The owner first: changing it clears the set-id bits, which the mode then restores.
    if (from.owner != TheRunner().uid || from.group != TheRunner().gid) {
        if (fchown(fd, from.owner, from.group) != 0) (void)fchown(fd, static_cast<uid_t>(-1), from.group);
    }
    if (fchmod(fd, static_cast<mode_t>(from.mode)) != 0) {
        error = errno;
        return false;
    }
    return true;
#endif
}

void InputFile::Close() {
    if (fd_ < 0) return;
#ifdef _WIN32
    _close(fd_);
#else
    close(fd_);
#endif
    fd_ = -1;
}

long long InputFile::Read(char* buf, size_t n) {
    if (fd_ < 0) return -1;
    for (;;) {
#ifdef _WIN32
        const int got = _read(fd_, buf, static_cast<unsigned>(n > (1u << 30) ? (1u << 30) : n));
        if (got < 0) error_ = errno;
        return got;
#else
        const ssize_t got = read(fd_, buf, n);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error_ = errno;
        return static_cast<long long>(got);
#endif
    }
}

bool ReplaceKeepingBackup(const std::string& source, const std::string& fresh, const std::string& backup,
                          int* error) {
    int ignored = 0;
    int& err = error ? *error : ignored;
#ifndef _WIN32
    // The backup as a second name of the source, then the new text renamed
    // over the source: the source's name never goes missing.
    int linked = link(source.c_str(), backup.c_str());
    if (linked != 0 && errno == EEXIST && unlink(backup.c_str()) == 0) linked = link(source.c_str(), backup.c_str());
    if (linked == 0) {
        if (rename(fresh.c_str(), source.c_str()) == 0) return true;
        err = errno;
        // The source is untouched; its second name goes again.
        unlink(backup.c_str());
        return false;
    }
    err = errno;
    // Only where the file system has no links are the two renames of older
    // versions used; any other failure leaves everything as it is.
    if (err != EPERM && err != ENOTSUP && err != EOPNOTSUPP && err != EMLINK) return false;
#endif
    std::error_code ec;
    if (PathExists(backup)) {
        fsys::remove(ToPath(backup), ec);
        if (ec) return err = ec.value(), false;
    }
    fsys::rename(ToPath(source), ToPath(backup), ec);
    if (ec) return err = ec.value(), false;
    fsys::rename(ToPath(fresh), ToPath(source), ec);
    if (ec) {
        err = ec.value();
        RenameFile(backup, source);
        return false;
    }
    return true;
}

void EnsureOpenFiles(unsigned count) {
#ifndef _WIN32
    struct rlimit lim;
    if (getrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur >= count) return;
    lim.rlim_cur = lim.rlim_max == RLIM_INFINITY || lim.rlim_max > count ? count : lim.rlim_max;
    setrlimit(RLIMIT_NOFILE, &lim);
#else
    (void)count;
#endif
}

bool FlushToDisk(FILE* f) {
    if (std::fflush(f) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

namespace {

// Flushes each file whose `ok` is still false; elsewhere than on Windows the
// writes of all of them are started before the first wait.
void FlushEach(const std::vector<std::string>& paths, std::vector<bool>& ok, std::vector<int>& errors) {
#ifdef _WIN32
    for (size_t i = 0; i < paths.size(); ++i) {
        if (ok[i]) continue;
        FILE* f = OpenFile(paths[i], "r+b");
        if (f == nullptr) {
            errors[i] = errno;
            continue;
        }
        ok[i] = FlushToDisk(f);
        ok[i] = std::fclose(f) == 0 && ok[i];
        if (!ok[i]) errors[i] = errno;
    }
#else
    std::vector<int> fds(paths.size(), -1);
    for (size_t i = 0; i < paths.size(); ++i) {
        if (ok[i]) continue;
        fds[i] = open(paths[i].c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fds[i] < 0) errors[i] = errno;
#ifdef __linux__
        // The fsync below then mostly waits, and the first one commits the
        // file system's journal for all.
        if (fds[i] >= 0) sync_file_range(fds[i], 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        if (fds[i] < 0) continue;
        ok[i] = fsync(fds[i]) == 0;
        if (!ok[i]) errors[i] = errno;
        if (close(fds[i]) != 0 && ok[i]) {
            ok[i] = false;
            errors[i] = errno;
        }
    }
#endif
}

#ifdef __linux__
// One syncfs per file system puts every file of the batch on the disk, the
// writes made by the system's own writeback threads (it reports write errors
// since Linux 5.8). Sets `ok` for the files of the file systems it synced.
void SyncFileSystems(const std::vector<std::string>& paths, std::vector<bool>& ok) {
    std::vector<std::pair<dev_t, bool>> systems;
    // The files of one folder are on one file system: one look per folder.
    std::string folder;
    dev_t folderDev = 0;
    bool known = false;
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        const size_t cut = path.find_last_of('/');
        const size_t folderLength = cut == std::string::npos ? 0 : cut + 1;
        if (!known || folder.size() != folderLength || path.compare(0, folderLength, folder) != 0) {
            struct stat st;
            known = stat(path.c_str(), &st) == 0;
            if (!known) continue;
            folder.assign(path, 0, folderLength);
            folderDev = st.st_dev;
        }
        const dev_t dev = folderDev;
        auto it = std::find_if(systems.begin(), systems.end(),
                               [&](const std::pair<dev_t, bool>& d) { return d.first == dev; });
        if (it == systems.end()) {
            const int fd = open(paths[i].c_str(), O_RDONLY | O_CLOEXEC);
            bool synced = fd >= 0 && syncfs(fd) == 0;
            if (fd >= 0 && close(fd) != 0) synced = false;
            it = systems.insert(systems.end(), {dev, synced});
        }
        ok[i] = it->second;
    }
}
#endif

}  // namespace

void FlushFilesToDisk(const std::vector<std::string>& paths, std::vector<bool>& ok, std::vector<int>* errors) {
    ok.assign(paths.size(), false);
    std::vector<int> own;
    std::vector<int>& err = errors ? *errors : own;
    err.assign(paths.size(), 0);
#ifdef __linux__
    SyncFileSystems(paths, ok);
#endif
    // Only where that failed (or elsewhere) is each file flushed on its own,
    // which also tells which one failed.
    FlushEach(paths, ok, err);
}

}  // namespace vantor
