// Whole-file reads and all-or-nothing file replacement for message files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace letrador {

struct FileResult {
    bool ok = true;
    std::string reason;  // for a failure: why, in Spanish
};

// Replaces the file at `path` with `bytes`. Either the new content is all there or the file
// that was there before is untouched.
class FileReplacer {
  public:
    virtual ~FileReplacer() = default;
    virtual FileResult Replace(const std::string& path, std::string_view bytes) = 0;
};

// Writes the new content into an unnamed file beside the target (O_TMPFILE), flushes it to the
// disk, names it and renames it over the target; where the file system has no unnamed files, a
// hidden temporary file takes its place. A save killed part way leaves at most a locked hidden
// file, which the next save into that folder removes. A target that is a symbolic link is
// replaced through it: the file it leads to gets the content and the link stays.
// Where no file can be created beside an existing target (a folder the user may not write in,
// holding a file the user may), the target is written in place: its old bytes are kept first
// and put back when the write fails. The hooks let tests make a step fail the way a full disk,
// a refused rename, a folder without write permission or an old file system does.
class AtomicFileReplacer : public FileReplacer {
  public:
    FileResult Replace(const std::string& path, std::string_view bytes) override;

  protected:
    // Each returns what the system call does (-1 with errno on failure).
    virtual ssize_t WriteSome(int fd, const char* data, std::size_t size);
    virtual int SyncFile(int fd);
    virtual int RenameFile(const std::string& from, const std::string& to);
    virtual int OpenUnnamed(const std::string& folder, mode_t mode);
    // mkstemp: creates and opens the hidden file named by `pattern`, filling in its XXXXXX.
    virtual int OpenNamed(std::string& pattern);

  private:
    int WriteAll(int fd, std::string_view bytes);
    int WriteAndSync(int fd, std::string_view bytes, mode_t mode);
    FileResult WriteInPlace(const std::string& path, std::string_view bytes, int createError);
};

struct FileContent {
    FileResult result;
    std::string bytes;
};

// Largest file taken as a message: far above anything a sign can hold, low enough that a stray
// huge file cannot exhaust memory.
inline constexpr std::size_t kMaxMessageFileBytes = 32u * 1024u * 1024u;
inline constexpr const char* kTooLargeForAMessage = "El archivo es demasiado grande para ser un mensaje.";

// Reads the whole file at `path`; fails for a folder, a missing file, or one over `maxBytes`,
// whose reason is then `tooLarge`.
FileContent ReadWholeFile(const std::string& path, std::size_t maxBytes = kMaxMessageFileBytes,
                          const char* tooLarge = kTooLargeForAMessage);

}  // namespace letrador
