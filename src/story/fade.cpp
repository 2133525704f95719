#include "story/fade.h"

#include "platform/random.h"

int fadeStep(std::array<std::int16_t, 3> &rgb, RandomSource &random)
{
    for (auto &component : rgb) {
        if (component < 255)
            component = static_cast<std::int16_t>(component + random.draw(50));
        if (component > 255)
            component = 255;
    }
    return rgb[0] + 256 * rgb[1] + 65536 * rgb[2];
}
