#pragma once

#include <array>
#include <cstdint>

class RandomSource;

// One step of a story page's fade from black: every component still below 255
// climbs by a draw from 0 to 49, red first, and stops at 255. Returns the colour
// as red + 256 × green + 65536 × blue.
int fadeStep(std::array<std::int16_t, 3> &rgb, RandomSource &random);
