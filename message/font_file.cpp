#include "message/font_file.h"

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "message/codepage.h"

namespace letrador {
namespace {

namespace fs = std::filesystem;

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

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The file identity the cache trusts: size and modification time.
struct FileStamp {
    std::uintmax_t size = 0;
    fs::file_time_type modified{};
    bool operator==(const FileStamp&) const = default;
};

bool StampOf(const std::string& path, FileStamp& out) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status)) return false;
    out.size = fs::file_size(path, ec);
    if (ec) return false;
    out.modified = fs::last_write_time(path, ec);
    return !ec;
}

// Fonts read so far, by path. Only a cache: an entry is used only while the file keeps the size
// and modification time it had when read, and only once that time lies clearly before the
// read, because a file rewritten within the clock's granularity would keep its stamp.
class FontCache {
public:
    std::shared_ptr<const FontData> get(const std::string& path) {
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
        const auto readAt = fs::file_time_type::clock::now();
        std::string bytes;
        if (!ReadWholeFile(path, bytes)) return Empty();
        auto font = std::make_shared<FontData>();
        font->records = DecodeRecords(bytes);
        FileStamp after;
        const bool stable = StampOf(path, after) && after == stamp && after.size == bytes.size();
        std::lock_guard lock(mutex_);
        if (stable) {
            entries_[path] = Entry{stamp, stamp.modified + kSettle < readAt, font};
        } else {
            entries_.erase(path);
        }
        return font;
    }

    static std::shared_ptr<const FontData> Empty() {
        static const auto empty = std::make_shared<const FontData>();
        return empty;
    }

private:
    static constexpr auto kSettle = std::chrono::seconds(2);
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
    ::close(fd);
    if (readError != 0) {
        check.result = FontCheck::Result::Failure;
        check.errorNumber = readError;
        check.description = SpanishDescription(readError);
        return check;
    }
    // An empty or short file is accepted: record 1 read past the end comes back as zero bytes,
    // an empty key that fits; such a file simply draws no character.
    if (!DecodeRecord(rec, got).fitsRecord()) check.result = FontCheck::Result::NotAFont;
    return check;
}

}  // namespace letrador
