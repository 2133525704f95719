#pragma once

#include <array>
#include <cstdint>

using PlacePoints = std::array<std::int16_t, 3>;

// Leaning toward place `place` (0 forest, 1 water, 2 earth): it gains `gain` up to
// 100, and the next place in the circle (forest → water → earth → forest) loses
// `loss` down to -100.
void wander(PlacePoints &points, int place, int gain, int loss);
