#include "files/file_access.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
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

FileResult AtomicFileReplacer::Replace(const std::string& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const std::string folder =
        target.has_parent_path() ? target.parent_path().string() : std::string(".");

    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return Failure(EISDIR);
    if (target.filename().empty()) return Failure(EISDIR);

    // A short hidden name, so that a long target name does not make the temporary one too long
    // and the chooser's list never shows it.
    std::string temp = folder + "/.letrador-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return Failure(errno);

    auto abandon = [&](int errnum) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return Failure(errnum);
    };

    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = WriteSome(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon(errno);
        }
        if (n == 0) return abandon(ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    ::fchmod(fd, exists ? (existing.st_mode & 07777) : NewFileMode());
    if (SyncFile(fd) != 0) return abandon(errno);
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return abandon(errno);
    if (RenameFile(temp, path) != 0) return abandon(errno);
    SyncFolder(folder);
    return {};
}

FileContent ReadWholeFile(const std::string& path, std::size_t maxBytes) {
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
                out.result = {false, "El archivo es demasiado grande para ser un mensaje."};
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
