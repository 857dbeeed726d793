#include "files/file_access.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/system_error.h"

namespace letrador {
namespace {

FileResult Failure(int errnum) {
    return {false, SystemErrorText(errnum)};
}

// The mode a file created now would get: 0666 less the process's umask, read without
// changing it.
mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            mode_t mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
            return 0666 & ~mask;
        }
    }
    return 0644;
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: the rename is already done
    ::close(fd);
}

constexpr const char* kTempPrefix = ".letrador-";

std::string FolderOf(const std::string& path) {
    const std::filesystem::path p(path);
    return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

// The file a save to `path` must replace: `path` itself, or, when it is a symbolic link, the
// file the chain of links ends at, so that the link stays a link and its target gets the
// content. 0, or the error number.
int FinalTarget(const std::string& path, std::string& out) {
    out = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(out.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(out.c_str(), target.data(), target.size());
        if (n < 0) return errno;
        if (static_cast<std::size_t>(n) >= target.size()) return ENAMETOOLONG;
        target.resize(static_cast<std::size_t>(n));
        out = target.front() == '/' ? target : FolderOf(out) + "/" + target;
    }
    return ELOOP;
}

std::string RandomTempName(const std::string& folder) {
    thread_local std::mt19937 rng{std::random_device{}()};
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = folder + "/" + kTempPrefix;
    for (int i = 0; i < 6; ++i) name += kChars[rng() % (sizeof kChars - 1)];
    return name;
}

// Gives the unnamed file `fd` a hidden name in `folder`; "" with errno when it cannot.
std::string NameUnnamed(int fd, const std::string& folder) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = RandomTempName(folder);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return name;
        }
        if (errno != EEXIST) break;
    }
    return {};
}

// Removes the temporary files that saves killed before their rename left in `folder`. A save
// holds a lock on its temporary file from its creation to its rename, and a dead process holds
// none, so a file whose lock can be taken belongs to no running save.
void RemoveAbandonedTemps(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kTempPrefix, 0) != 0 || name.size() != std::strlen(kTempPrefix) + 6) {
            continue;
        }
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK |
                                                        O_CLOEXEC | O_NOCTTY);
        if (fd < 0) continue;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(entry.path().c_str());
        }
        ::close(fd);
    }
}

}  // namespace

ssize_t AtomicFileReplacer::WriteSome(int fd, const char* data, std::size_t size) {
    return ::write(fd, data, size);
}

int AtomicFileReplacer::SyncFile(int fd) {
    return ::fsync(fd);
}

int AtomicFileReplacer::RenameFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str());
}

int AtomicFileReplacer::OpenUnnamed(const std::string& folder, mode_t mode) {
    return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
}

int AtomicFileReplacer::OpenNamed(std::string& pattern) {
    return ::mkstemp(pattern.data());
}

// 0, or the error number.
int AtomicFileReplacer::WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = WriteSome(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// 0, or the error number; `fd` stays open either way.
int AtomicFileReplacer::WriteAndSync(int fd, std::string_view bytes, mode_t mode) {
    if (int err = WriteAll(fd, bytes); err != 0) return err;
    ::fchmod(fd, mode);
    if (SyncFile(fd) != 0) return errno;
    return 0;
}

FileResult AtomicFileReplacer::Replace(const std::string& given, std::string_view bytes) {
    std::string path;
    if (int err = FinalTarget(given, path); err != 0) return Failure(err);
    if (std::filesystem::path(path).filename().empty()) return Failure(EISDIR);
    const std::string folder = FolderOf(path);

    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return Failure(EISDIR);
    const mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();

    RemoveAbandonedTemps(folder);

    // The new content is written into a file without a name, which a crash simply frees, and
    // gets its (hidden, locked) name only when it is complete, just before the rename.
    std::string temp;
    int fd = OpenUnnamed(folder, mode);
    if (fd >= 0) {
        ::flock(fd, LOCK_EX | LOCK_NB);
        if (int err = WriteAndSync(fd, bytes, mode); err != 0) {
            ::close(fd);
            return Failure(err);
        }
        temp = NameUnnamed(fd, folder);
        if (temp.empty()) {  // no /proc to name it through: write it again the other way
            ::close(fd);
            fd = -1;
        }
    }
    if (temp.empty()) {
        // A file system without unnamed files: a hidden named one, locked so that the next save
        // can remove it if this one is killed before its rename. A short name, so that a long
        // target name does not make the temporary one too long.
        temp = folder + "/" + kTempPrefix + "XXXXXX";
        fd = OpenNamed(temp);
        if (fd < 0) {
            const int err = errno;
            return exists && S_ISREG(existing.st_mode) ? WriteInPlace(path, bytes, err) : Failure(err);
        }
        ::flock(fd, LOCK_EX | LOCK_NB);
        if (int err = WriteAndSync(fd, bytes, mode); err != 0) {
            ::unlink(temp.c_str());
            ::close(fd);
            return Failure(err);
        }
    }

    // The lock is held through the rename, so no other save takes the file for abandoned.
    if (RenameFile(temp, path) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        ::close(fd);
        return Failure(err);
    }
    const int closed = ::close(fd);
    SyncFolder(folder);
    if (closed != 0) return Failure(errno);
    return {};
}

// The save of a file whose folder takes no new file. Not all or nothing as a rename is, so the
// old content is read first and written back if the new one cannot be written whole.
FileResult AtomicFileReplacer::WriteInPlace(const std::string& path, std::string_view bytes,
                                            int createError) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return Failure(createError);
    struct stat info {};
    std::string old;
    int err = ::fstat(fd, &info) != 0 ? errno : S_ISREG(info.st_mode) ? 0 : createError;
    char buffer[64 * 1024];
    while (err == 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) err = errno;
        if (n <= 0) break;
        old.append(buffer, static_cast<std::size_t>(n));
    }
    if (err != 0) {
        ::close(fd);
        return Failure(err);
    }
    auto put = [&](std::string_view content) {
        if (::lseek(fd, 0, SEEK_SET) != 0) return errno;
        if (int e = WriteAll(fd, content); e != 0) return e;
        if (::ftruncate(fd, static_cast<off_t>(content.size())) != 0) return errno;
        return SyncFile(fd) != 0 ? errno : 0;
    };
    err = put(bytes);
    // Written over the old bytes, the old content needs no room the file did not have.
    if (err != 0) put(old);
    const int closed = ::close(fd);
    if (err != 0) return Failure(err);
    if (closed != 0) return Failure(errno);
    return {};
}

FileContent ReadWholeFile(const std::string& path, std::size_t maxBytes, const char* tooLarge) {
    FileContent out;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        out.result = Failure(errno);
        return out;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        out.result = Failure(errno);
    } else if (S_ISDIR(info.st_mode)) {
        out.result = Failure(EISDIR);
    } else {
        char buffer[64 * 1024];
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) continue;
                out.result = Failure(errno);
                break;
            }
            if (n == 0) break;
            if (out.bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
                out.result = {false, tooLarge};
                break;
            }
            out.bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (!out.result.ok) out.bytes.clear();
    return out;
}

}  // namespace letrador
