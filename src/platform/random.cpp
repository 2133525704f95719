#include "platform/random.h"

#include <chrono>

namespace {

std::uint32_t seedFromClock()
{
    const auto ticks = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    // Fold the high half in so that two seeds a few seconds apart still differ
    // wherever the clock's resolution puts its changing bits.
    return static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}

} // namespace

ClockRandom::ClockRandom()
    : m_engine(seedFromClock())
{
}

ClockRandom::ClockRandom(std::uint32_t seed)
    : m_engine(seed)
{
}

float ClockRandom::next()
{
    // 24 random bits fill a float's significand exactly, so the largest draw is
    // 1 - 2^-24 and never rounds up to 1 (uniform_real_distribution<float> can).
    return static_cast<float>(m_engine() >> 8) * (1.0f / 16777216.0f);
}
