#include "explore/wander.h"

#include "core/fom.h"
#include "platform/picturebox.h"
#include "platform/random.h"
#include "screen/controls.h"

#include <algorithm>

namespace {

constexpr int kPointLimit = 100;
constexpr int kStartOver = 3;

} // namespace

void wander(PlacePoints &points, int place, int gain, int loss)
{
    points[place] = static_cast<std::int16_t>(std::min(points[place] + gain, kPointLimit));
    const int next = (place + 1) % 3;
    points[next] = static_cast<std::int16_t>(std::max(points[next] - loss, -kPointLimit));
}

void Fom::Com_Click(int index)
{
    Lbl->setCaption(QStringLiteral("移動したよ"));
    m_henka(-m_random.draw(10));  // every step costs 0 to 9 円, starting over too
    BakSee->hide();
    if (index == kStartOver) {
        PlacePoint.fill(0);
        return;
    }
    const int gain = m_random.draw(10);
    const int loss = m_random.draw(10);
    wander(PlacePoint, index, gain, loss);
}
