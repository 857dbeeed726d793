// The three digit styles of the turn display, as the column bytes sent for each digit.
#pragma once

#include <cstdint>
#include <span>

namespace letrador {

inline constexpr int kEstilosTurnero = 3;

// Columns per digit in `estilo` (1..3): 6, 4 and 5; 0 for any other style.
int AnchoDigito(int estilo);

// The column bytes of `digito` (0..9) in `estilo` (1..3), left to right; empty when either is
// out of range. Bit 0 is the top dot; a dark column is 0x80, never 0x00.
std::span<const std::uint8_t> ColumnasDigito(int digito, int estilo);

}  // namespace letrador
