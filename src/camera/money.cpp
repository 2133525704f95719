#include "core/fom.h"

#include "camera/rules.h"
#include "screen/controls.h"

namespace {

constexpr std::int32_t kMoneyCap = 100000;

} // namespace

void Fom::m_henka(std::int32_t amount)
{
    Money = std::min(Money + amount, kMoneyCap);
    LblMoney->setCaption(moneyCaption(Money));
}
