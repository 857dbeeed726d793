#include "service/led_picture.h"

#include <zlib.h>

#include <array>

namespace letrador::service {

namespace {
using G = PictureGeometry;
constexpr int kRows = 7;
int DotsTop() { return G::kMargin + G::kMarkBand; }

void Put(Raster& r, int x, int y, std::uint32_t colour) {
    if (x < 0 || y < 0 || x >= r.width || y >= r.height) return;
    std::uint8_t* p = &r.rgb[(static_cast<std::size_t>(y) * r.width + x) * 3];
    p[0] = static_cast<std::uint8_t>(colour >> 16);
    p[1] = static_cast<std::uint8_t>(colour >> 8);
    p[2] = static_cast<std::uint8_t>(colour);
}

// One dot as a mask over a pitch-sized cell, drawn once and stamped everywhere.
std::array<bool, G::kPitch * G::kPitch> DotMask() {
    std::array<bool, G::kPitch * G::kPitch> mask{};
    const double c = G::kPitch / 2.0, r = G::kDot / 2.0;
    for (int y = 0; y < G::kPitch; ++y)
        for (int x = 0; x < G::kPitch; ++x) {
            const double dx = x + 0.5 - c, dy = y + 0.5 - c;
            mask[y * G::kPitch + x] = dx * dx + dy * dy <= r * r;
        }
    return mask;
}

void Append32(std::string& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out += static_cast<char>((v >> s) & 0xFF);
}

void Chunk(std::string& out, const char* type, const std::string& data) {
    Append32(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    Append32(out, static_cast<std::uint32_t>(
                      crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}
}  // namespace

std::uint32_t Raster::at(int x, int y) const {
    const std::uint8_t* p = &rgb.at((static_cast<std::size_t>(y) * width + x) * 3);
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

int PictureLayout::dotCentreY(int row) { return DotsTop() + row * G::kPitch + G::kPitch / 2; }

PictureLayout LayOut(const SignPreview& preview) {
    // As the window does: a mark takes its own slot just before the column it stands in front of.
    PictureLayout l;
    l.columnX.assign(preview.columns.size(), 0);
    l.markX.assign(preview.markers.size(), 0);
    int x = G::kMargin;
    std::size_t mark = 0;
    for (std::size_t c = 0; c <= preview.columns.size(); ++c) {
        while (mark < preview.markers.size() && preview.markers[mark].column <= c) {
            l.markX[mark++] = x;
            x += G::kMarkWidth;
        }
        if (c < preview.columns.size()) {
            l.columnX[c] = x;
            x += G::kPitch;
        }
    }
    l.width = x + G::kMargin;
    l.height = DotsTop() + kRows * G::kPitch + G::kMargin;
    return l;
}

Raster DrawSignPicture(const SignPreview& preview) {
    static const auto mask = DotMask();
    const PictureLayout l = LayOut(preview);
    Raster r;
    r.width = l.width;
    r.height = l.height;
    r.rgb.resize(static_cast<std::size_t>(r.width) * r.height * 3);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) Put(r, x, y, kPictureBackground);
    for (std::size_t c = 0; c < preview.columns.size(); ++c) {
        for (int row = 0; row < kRows; ++row) {
            const std::uint32_t colour = DotLit(preview.columns[c], row) ? kPictureLit : kPictureDark;
            const int top = DotsTop() + row * G::kPitch;
            for (int y = 0; y < G::kPitch; ++y)
                for (int x = 0; x < G::kPitch; ++x)
                    if (mask[y * G::kPitch + x]) Put(r, l.columnX[c] + x, top + y, colour);
        }
    }
    for (std::size_t m = 0; m < preview.markers.size(); ++m) {
        const auto kind = preview.markers[m].kind;
        const std::uint32_t colour = kind == PreviewMarker::Kind::Effect    ? kPictureEffect
                                     : kind == PreviewMarker::Kind::Missing ? kPictureMissing
                                                                            : kPictureRefused;
        const int cx = l.markX[m] + G::kMarkWidth / 2;
        // A small downward triangle in the band, and a thin line through the dots.
        for (int y = 0; y < G::kMarkBand - 1; ++y)
            for (int x = cx - (G::kMarkBand - 1 - y) / 2 - 1; x <= cx + (G::kMarkBand - 1 - y) / 2; ++x)
                Put(r, x, G::kMargin + y, colour);
        for (int y = DotsTop(); y < DotsTop() + kRows * G::kPitch; ++y) {
            Put(r, cx - 1, y, colour);
            Put(r, cx, y, colour);
        }
    }
    return r;
}

std::string EncodePng(const Raster& raster) {
    // Filter byte 0 before each row, then deflate.
    std::string raw;
    const std::size_t rowBytes = static_cast<std::size_t>(raster.width) * 3;
    raw.reserve((rowBytes + 1) * raster.height);
    for (int y = 0; y < raster.height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(&raster.rgb[y * rowBytes]), rowBytes);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 6);
    packed.resize(packedSize);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    Append32(header, static_cast<std::uint32_t>(raster.width));
    Append32(header, static_cast<std::uint32_t>(raster.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", "");
    return png;
}

}  // namespace letrador::service
