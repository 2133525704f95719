#include "core/fom.h"

#include "camera/rules.h"
#include "platform/picturebox.h"
#include "screen/controls.h"

void Fom::ComMove_Click(int index)
{
    LblSee->setCaption(QString());
    Lbl->setCaption(QString());
    BakSee->hide();
    if (index == Shutter)
        takePhotograph();
    else
        withSelectedPhotograph(index);
}

void Fom::takePhotograph()
{
    Lbl->setCaption(QStringLiteral("シャッター！！"));
    const QString key = catchKey(PlacePoint, m_random);
    if (key.isEmpty()) {
        Lbl->setCaption(Lbl->caption() + QStringLiteral("\r\n") + QStringLiteral("なにも撮れなかった"));
    } else {
        Lst[0]->addRow(kUndeveloped);
        Lst[1]->addRow(key);
    }
    ++SyasinCnt;
    if (SyasinCnt < kFilm) {
        LblSyasin->setCaption(filmCaption(SyasinCnt, kFilm));
        return;
    }
    // The film is used up. The ending is flagged only once its start has returned,
    // so an ending that cannot be played leaves the player in the game, flagged: the
    // next shot tries again, and the end of that attempt starts a new game. That new
    // game must not be flagged too, or every opening would run into yet another.
    TxtPlay(Money < kGoodEndingMoney ? QStringLiteral("badend") : QStringLiteral("goodend"));
    if (SyasinCnt >= kFilm)
        EndFlg = true;
}
