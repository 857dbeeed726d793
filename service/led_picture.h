// The LED preview as a picture for the pages: the dots the window's preview draws (7 rows, bit 0
// at the top, the same colours), a narrow mark where an effect tag stands and a blue one where
// the font lacks a character, encoded as PNG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "message/sign_preview.h"

namespace letrador::service {

struct Raster {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel

    std::uint32_t at(int x, int y) const;  // 0xRRGGBB
};

struct PictureGeometry {
    static constexpr int kPitch = 6;      // distance between dot centres
    static constexpr int kDot = 4;        // dot diameter
    static constexpr int kMarkWidth = 4;  // room a mark takes among the columns
    static constexpr int kMargin = 3;
    static constexpr int kMarkBand = 5;   // band above the dots where the marks point
};

// The left edge of each column's cell, and of each marker's slot, as the picture places them.
struct PictureLayout {
    std::vector<int> columnX, markX;
    int width = 0, height = 0;
    // The centre of dot `row` of column `column`.
    int dotCentreX(std::size_t column) const { return columnX.at(column) + PictureGeometry::kPitch / 2; }
    static int dotCentreY(int row);
};
PictureLayout LayOut(const SignPreview& preview);

Raster DrawSignPicture(const SignPreview& preview);
std::string EncodePng(const Raster& raster);

// Colours of the picture, 0xRRGGBB.
inline constexpr std::uint32_t kPictureBackground = 0x181414;
inline constexpr std::uint32_t kPictureLit = 0xff3020;
inline constexpr std::uint32_t kPictureDark = 0x3a2222;
inline constexpr std::uint32_t kPictureEffect = 0xf0c030;
inline constexpr std::uint32_t kPictureMissing = 0x40a0ff;
inline constexpr std::uint32_t kPictureRefused = 0x909090;

}  // namespace letrador::service
