#include "message/font_file.h"

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <new>

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

std::vector<RegistroCaracter> DecodeRecords(std::string_view bytes) {
    std::vector<RegistroCaracter> out;
    out.reserve((bytes.size() + kFontRecordSize - 1) / kFontRecordSize);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t at = 0; at < bytes.size(); at += kFontRecordSize) {
        out.push_back(DecodeRecord(data + at, bytes.size() - at));
    }
    return out;
}

// Reads the whole regular file at `path` when it holds at most `maxBytes`; false otherwise.
bool ReadSmallFile(const std::string& path, std::size_t maxBytes, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              static_cast<std::uintmax_t>(info.st_size) <= maxBytes;
    if (ok) {
        out.resize(maxBytes + 1);  // one more byte shows a file that grew past the limit
        std::size_t got = 0;
        while (got < out.size()) {
            const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ok = false;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        ok = ok && got <= maxBytes;
        out.resize(ok ? got : 0);
        out.shrink_to_fit();
    }
    ::close(fd);
    return ok;
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

bool StampOf(const std::string& path, FileStamp& out) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    out.device = info.st_dev;
    out.inode = info.st_ino;
    out.size = info.st_size;
    out.changed = info.st_ctim;
    return true;
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
        if (!StampOf(path, stamp) || stamp.size > static_cast<off_t>(kMaxFontFileBytes)) {
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
        std::string bytes;
        if (!ReadSmallFile(path, kMaxFontFileBytes, bytes)) return Empty();
        auto font = std::make_shared<FontData>();
        font->records = DecodeRecords(bytes);
        FileStamp after;
        const bool stable = StampOf(path, after) && after == stamp &&
                            static_cast<std::size_t>(after.size) == bytes.size();
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

// Widths of the first record of every key byte, so a long text costs one table look-up per
// character.
struct WidthTable {
    std::array<Int16, 256> width{};
    explicit WidthTable(const FontData& font) {
        std::array<bool, 256> seen{};
        for (const RegistroCaracter& r : font.records) {
            if (r.keyLength != 1 || r.Caracter.size() != 1) continue;
            const auto b = static_cast<unsigned char>(r.Caracter[0]);
            if (seen[b]) continue;
            seen[b] = true;
            width[b] = static_cast<Int16>(GlyphWidth(r));
        }
    }
    int of(char32_t ch) const {
        const int b = EncodeCp1252(ch);
        if (b < 0 || DecodeCp1252(static_cast<unsigned char>(b)) != ch) return 0;
        return width[static_cast<std::size_t>(b)];
    }
};

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

bool RegistroCaracter::matches(char32_t ch) const {
    // Keys of length 0 or 2, and keys that do not fit, never equal a single character.
    if (keyLength != 1 || Caracter.size() != 1) return false;
    return DecodeCp1252(static_cast<unsigned char>(Caracter[0])) == ch;
}

int GlyphWidth(const RegistroCaracter& record) {
    for (int k = kGlyphColumns; k >= 1; --k) {
        if (record.Columna[k - 1] != 0) return k;
    }
    return 0;
}

Int16 FontData::find(char32_t ch) const {
    for (std::size_t n = 0; n < records.size(); ++n) {
        if (records[n].matches(ch)) return Saturate16(static_cast<long long>(n) + 1);
    }
    return 0;
}

FontData DecodeFont(std::string_view bytes) {
    FontData font;
    font.records = DecodeRecords(bytes);
    return font;
}

std::shared_ptr<const FontData> LoadFont(const std::string& archivoFuente) {
    return Cache().get(archivoFuente);
}

Int16 BuscarCaracter(const std::string& archivoFuente, char32_t caracter) {
    return LoadFont(archivoFuente)->find(caracter);
}

bool LeerRegistro(const std::string& archivoFuente, int n, RegistroCaracter& out) {
    const auto font = LoadFont(archivoFuente);
    if (n < 1 || static_cast<std::size_t>(n) > font->records.size()) return false;
    out = font->records[static_cast<std::size_t>(n) - 1];
    return true;
}

Int16 AnchoCaracter(char32_t caracter, const std::string& archivoFuente, Int16 separacion) {
    const auto font = LoadFont(archivoFuente);
    const Int16 n = font->find(caracter);
    const int width = n > 0 ? GlyphWidth(font->records[static_cast<std::size_t>(n) - 1]) : 0;
    return Add16(separacion, width);
}

Int16 ContarColumnas(std::u32string_view texto, const std::string& archivoFuente, Int16 separacion,
                     Int16 spaceWidth) {
    const auto font = LoadFont(archivoFuente);
    const WidthTable widths(*font);
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
            const int width = widths.of(c);
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
    struct stat info {};
    const bool tooLarge = ::fstat(fd, &info) == 0 &&
                          static_cast<std::uintmax_t>(info.st_size) > kMaxFontFileBytes;
    ::close(fd);
    if (readError != 0) {
        check.result = FontCheck::Result::Failure;
        check.errorNumber = readError;
        check.description = SpanishDescription(readError);
        return check;
    }
    // An empty or short file is accepted: record 1 read past the end comes back as zero bytes,
    // an empty key that fits; such a file simply draws no character.
    if (tooLarge || !DecodeRecord(rec, got).fitsRecord()) {
        check.result = FontCheck::Result::NotAFont;
    }
    return check;
}

}  // namespace letrador
