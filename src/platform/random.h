#pragma once

#include <cstdint>
#include <random>

// The game's one source of chance. Every draw is a fresh single-precision real in
// [0, 1); a draw from 0 to n - 1 is the integer part of r * n.
class RandomSource
{
public:
    virtual ~RandomSource() = default;
    virtual float next() = 0;
    int draw(int n) { return static_cast<int>(static_cast<double>(next()) * n); }
};

// Seeded once, from the clock, when it is created.
class ClockRandom final : public RandomSource
{
public:
    ClockRandom();
    explicit ClockRandom(std::uint32_t seed);
    float next() override;

private:
    std::mt19937 m_engine;
};
