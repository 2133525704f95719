#include "core/fom.h"

#include "screen/controls.h"

namespace {

constexpr std::int32_t kMoneyCap = 100000;

} // namespace

void Fom::m_henka(std::int32_t amount)
{
    Money = std::min(Money + amount, kMoneyCap);
    LblMoney->setCaption(QString::number(Money) + QStringLiteral("円"));
}
