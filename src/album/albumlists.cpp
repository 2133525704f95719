#include "core/fom.h"

#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "screen/controls.h"

namespace {

constexpr int kEternalAlbum = 2;

} // namespace

void Fom::Lst_Click(int index)
{
    const int selected = Lst[index]->listIndex();
    if (Lst[kEternalAlbum]->list(selected).isEmpty() || index != kEternalAlbum)
        return;
    LblSee->setCaption(QString());
    const QString key = Lst[3]->list(selected);
    PicShow(key);
    Pic->setAccessibleName(Lst[kEternalAlbum]->list(selected));
    LblSee->setCaption(description(key));
    NowBeast = key;
    BakSee->show();
}

void Fom::Lst_MouseDown(int index, int button)
{
    const int selected = Lst[index]->listIndex();
    if (Lst[kEternalAlbum]->list(selected).isEmpty() || index != kEternalAlbum || button != kRightButton)
        return;
    const int rows = Lst[kEternalAlbum]->listCount();
    const int answer = m_messages.show(QString::number(rows) + QStringLiteral("枚/全30枚") + QStringLiteral("\r\n")
                                           + QStringLiteral("\r\n")
                                           + QStringLiteral("クリアーする場合はキャンセルを押して下さい"),
                                       MessageBoxes::OkCancel);
    // Only the answer the box asks for clears; closing it with Escape keeps the album.
    if (answer == MessageBoxes::AnswerCancel) {
        Lst[2]->clearRows();
        Lst[3]->clearRows();
        albumChanged();
    }
}
