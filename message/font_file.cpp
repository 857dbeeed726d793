#include "message/font_file.h"

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "message/codepage.h"

namespace letrador {
namespace {

// Decodes one 24-byte record. A trailing piece shorter than 24 bytes reads as if padded with
// zero bytes, the way a record read past the end of a file comes back.
RegistroCaracter DecodeRecord(const unsigned char* bytes, std::size_t size) {
    unsigned char rec[kFontRecordSize] = {};
    std::memcpy(rec, bytes, size < kFontRecordSize ? size : kFontRecordSize);
    RegistroCaracter r;
    r.keyLength = static_cast<std::uint16_t>(rec[0] | (rec[1] << 8));
    const std::size_t keyRoom = kFontRecordSize - 2;
    const std::size_t keyBytes = r.keyLength < keyRoom ? r.keyLength : keyRoom;
    r.Caracter.assign(reinterpret_cast<const char*>(rec + 2), keyBytes);
    if (!r.fitsRecord()) return r;  // the columns would lie past the record: left at 0
    std::size_t at = 2 + r.keyLength;
    for (int k = 0; k < kGlyphColumns; ++k, at += 2) {
        r.Columna[k] = static_cast<Int16>(static_cast<std::uint16_t>(rec[at] | (rec[at + 1] << 8)));
    }
    return r;
}

// Reads the regular file open as `fd` into `index` as a stream of records, at most `size` bytes
// (its size when opened: a file that grows meanwhile is read again next time). False when a read
// fails; `got` is how many bytes were read.
bool IndexStream(int fd, std::uintmax_t size, FontData& index, std::uintmax_t& got) {
    // Whole records per read; a read that ends inside a record leaves its start for the next.
    constexpr std::size_t kChunk = 2730 * kFontRecordSize;
    std::vector<unsigned char> buffer(kChunk);
    std::size_t held = 0;
    got = 0;
    while (got < size) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uintmax_t>(kChunk - held, size - got));
        const ssize_t n = ::read(fd, buffer.data() + held, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<std::uintmax_t>(n);
        held += static_cast<std::size_t>(n);
        std::size_t at = 0;
        for (; at + kFontRecordSize <= held; at += kFontRecordSize) index.add(buffer.data() + at, kFontRecordSize);
        std::memmove(buffer.data(), buffer.data() + at, held - at);
        held -= at;
    }
    if (held > 0) index.add(buffer.data(), held);
    return true;
}

// What identifies one content of the file: any rewrite or replacement changes the inode change
// time (which, unlike the modification time, no copy tool can set back) or the inode itself.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec changed{};
    bool operator==(const FileStamp& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

bool StampOfInfo(const struct stat& info, FileStamp& out) {
    if (!S_ISREG(info.st_mode)) return false;
    out.device = info.st_dev;
    out.inode = info.st_ino;
    out.size = info.st_size;
    out.changed = info.st_ctim;
    return true;
}

bool StampOf(const std::string& path, FileStamp& out) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && StampOfInfo(info, out);
}

bool StampOf(int fd, FileStamp& out) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && StampOfInfo(info, out);
}

timespec Now() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

// Fonts read so far, by path. Only a cache: an entry is used only while the file keeps the
// stamp it had when read, and only once its change time lies clearly before the read, because
// a file rewritten within the clock's granularity would keep its stamp.
class FontCache {
public:
    std::shared_ptr<const FontData> get(const std::string& path) {
        try {
            return load(path);
        } catch (const std::bad_alloc&) {
            // Out of memory while reading: the font counts as one without characters.
            std::lock_guard lock(mutex_);
            entries_.erase(path);
            return Empty();
        }
    }

    static std::shared_ptr<const FontData> Empty() {
        static const auto empty = std::make_shared<const FontData>();
        return empty;
    }

private:
    std::shared_ptr<const FontData> load(const std::string& path) {
        FileStamp stamp;
        if (!StampOf(path, stamp)) {
            std::lock_guard lock(mutex_);
            entries_.erase(path);
            return Empty();
        }
        {
            std::lock_guard lock(mutex_);
            auto it = entries_.find(path);
            if (it != entries_.end() && it->second.stamp == stamp && it->second.settled) {
                return it->second.font;
            }
        }
        const timespec readAt = Now();
        // What is read is the file opened, whatever the name stood for a moment ago.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0 || !StampOf(fd, stamp)) {
            if (fd >= 0) ::close(fd);
            return Empty();
        }
        auto font = std::make_shared<FontData>();
        std::uintmax_t got = 0;
        const bool read = IndexStream(fd, static_cast<std::uintmax_t>(stamp.size), *font, got);
        ::close(fd);
        if (!read) return Empty();
        FileStamp after;
        const bool stable = StampOf(path, after) && after == stamp &&
                            got == static_cast<std::uintmax_t>(after.size);
        const bool settled = stamp.changed.tv_sec + kSettleSeconds < readAt.tv_sec;
        std::lock_guard lock(mutex_);
        if (stable) {
            entries_[path] = Entry{stamp, settled, font};
        } else {
            entries_.erase(path);
        }
        return font;
    }

    static constexpr time_t kSettleSeconds = 2;
    struct Entry {
        FileStamp stamp;
        bool settled = false;
        std::shared_ptr<const FontData> font;
    };
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

FontCache& Cache() {
    static FontCache cache;
    return cache;
}

std::string SpanishDescription(int error) {
    switch (error) {
        case ENOENT: return "No se encontró el archivo.";
        case EACCES:
        case EPERM: return "Permiso denegado.";
        case EISDIR: return "El nombre corresponde a una carpeta, no a un archivo.";
        case ENOTDIR: return "Ruta de acceso no encontrada.";
        case EMFILE:
        case ENFILE: return "Demasiados archivos abiertos.";
        case ENAMETOOLONG: return "El nombre del archivo es demasiado largo.";
        case EIO: return "Error de entrada/salida del dispositivo.";
        default: return std::strerror(error);
    }
}

}  // namespace

int GlyphWidth(const RegistroCaracter& record) {
    for (int k = kGlyphColumns; k >= 1; --k) {
        if (record.Columna[k - 1] != 0) return k;
    }
    return 0;
}

bool FontData::add(const unsigned char* bytes, std::size_t size) {
    ++count_;
    // Only a one-byte key draws a character, and only in the first record that has it.
    const unsigned lo = size > 0 ? bytes[0] : 0;
    const unsigned hi = size > 1 ? bytes[1] : 0;
    if (lo != 1 || hi != 0) return false;
    const unsigned key = size > 2 ? bytes[2] : 0;
    if (recordOf_[key] != 0) return false;
    recordOf_[key] = count_;
    records_[key] = DecodeRecord(bytes, size);
    width_[key] = static_cast<std::uint8_t>(GlyphWidth(records_[key]));
    return true;
}

int FontData::KeyOf(char32_t ch) {
    const int b = EncodeCp1252(ch);
    if (b < 0 || DecodeCp1252(static_cast<unsigned char>(b)) != ch) return -1;
    return b;
}

std::uint64_t FontData::recordOf(char32_t ch) const {
    const int b = KeyOf(ch);
    return b < 0 ? 0 : recordOf_[static_cast<std::size_t>(b)];
}

Int16 FontData::find(char32_t ch) const {
    return Saturate16(static_cast<long long>(std::min<std::uint64_t>(recordOf(ch), 32767)));
}

const RegistroCaracter* FontData::record(char32_t ch) const {
    const int b = KeyOf(ch);
    if (b < 0 || recordOf_[static_cast<std::size_t>(b)] == 0) return nullptr;
    return &records_[static_cast<std::size_t>(b)];
}

int FontData::width(char32_t ch) const {
    const int b = KeyOf(ch);
    return b < 0 ? 0 : width_[static_cast<std::size_t>(b)];
}

std::u32string FontData::characters() const {
    std::vector<std::pair<std::uint64_t, char32_t>> drawn;
    for (int b = 0; b < 256; ++b) {
        if (recordOf_[static_cast<std::size_t>(b)] != 0)
            drawn.emplace_back(recordOf_[static_cast<std::size_t>(b)], DecodeCp1252(static_cast<unsigned char>(b)));
    }
    std::sort(drawn.begin(), drawn.end());
    std::u32string out;
    for (const auto& d : drawn) out += d.second;
    return out;
}

FontData DecodeFont(std::string_view bytes) {
    FontData font;
    for (std::size_t at = 0; at < bytes.size(); at += kFontRecordSize)
        font.add(bytes.substr(at, kFontRecordSize));
    return font;
}

std::shared_ptr<const FontData> LoadFont(const std::string& archivoFuente) {
    return Cache().get(archivoFuente);
}

std::string FontPathIn(const std::string& folder, const std::string& name) {
    bool opens = !name.empty() && name != "." && name != "..";
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '/') opens = false;
    }
    if (opens) return folder + "/" + name;
    // A path that starts with a NUL byte is the empty path to every call that opens or looks at
    // a file, which all fail on it; the name after it is only shown.
    return std::string(1, '\0') + name;
}

std::string FontNameOf(const std::string& path) {
    if (!path.empty() && path.front() == '\0') return path.substr(1);
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Int16 BuscarCaracter(const std::string& archivoFuente, char32_t caracter) {
    return LoadFont(archivoFuente)->find(caracter);
}

bool LeerRegistro(const std::string& archivoFuente, int n, RegistroCaracter& out) {
    if (n < 1) return false;
    const int fd = ::open(archivoFuente.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    unsigned char rec[kFontRecordSize] = {};
    ssize_t got = -1;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        do {
            got = ::pread(fd, rec, sizeof rec, static_cast<off_t>(n - 1) * kFontRecordSize);
        } while (got < 0 && errno == EINTR);
    }
    ::close(fd);
    if (got <= 0) return false;
    out = DecodeRecord(rec, static_cast<std::size_t>(got));
    return true;
}

Int16 AnchoCaracter(char32_t caracter, const std::string& archivoFuente, Int16 separacion) {
    return Add16(separacion, LoadFont(archivoFuente)->width(caracter));
}

Int16 ContarColumnas(std::u32string_view texto, const std::string& archivoFuente, Int16 separacion,
                     Int16 spaceWidth) {
    const auto font = LoadFont(archivoFuente);
    Int16 total = 0;
    const std::size_t n = texto.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char32_t c = texto[i];
        if (c == U'<' && i + 2 < n && texto[i + 2] == U'>') {
            total = Add16(total, texto[i + 1] == U'9' ? 2 : 1);
            i += 2;
        } else if (c == U' ') {
            total = Add16(total, spaceWidth);
        } else {
            // Only a character with a drawn column takes room, together with its separation.
            const int width = font->width(c);
            if (width > 0) total = Add16(total, static_cast<long long>(width) + separacion);
        }
    }
    return total;
}

FontCheck CheckFontFile(const std::string& archivoFuente) {
    FontCheck check;
    const int fd = ::open(archivoFuente.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        check.result = FontCheck::Result::Failure;
        check.errorNumber = errno;
        check.description = SpanishDescription(check.errorNumber);
        return check;
    }
    unsigned char rec[kFontRecordSize] = {};
    std::size_t got = 0;
    int readError = 0;
    while (got < sizeof rec) {
        const ssize_t r = ::read(fd, rec + got, sizeof rec - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) readError = errno;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    ::close(fd);
    if (readError != 0) {
        check.result = FontCheck::Result::Failure;
        check.errorNumber = readError;
        check.description = SpanishDescription(readError);
        return check;
    }
    // An empty or short file is accepted: record 1 read past the end comes back as zero bytes,
    // an empty key that fits; such a file simply draws no character.
    if (!DecodeRecord(rec, got).fitsRecord()) {
        check.result = FontCheck::Result::NotAFont;
    }
    return check;
}

}  // namespace letrador
