#include "core/fom.h"

#include "platform/gametimer.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "story/fade.h"

#include <QKeyEvent>

void Fom::TxtPlay(const QString &key)
{
    m_files.close(FileNo);  // a text still playing is cut off here
    BakCom->hide();
    BakSee->hide();
    BakMove->hide();
    ComNext->show();
    ComNext->setFocus(Qt::OtherFocusReason);  // where the hidden panels leave none
    FileNo = m_files.nextFree();
    const QString path = PathTxt + key + QStringLiteral(".dat");
    if (m_files.openForReading(FileNo, path) && ComNext_Click())
        return;
    // Missing, unreadable or empty.
    m_messages.show(path + QStringLiteral(" not found"), MessageBoxes::Ok);
    TxtStop();
}

bool Fom::ComNext_Click()
{
    Lbl->setCaption(QString());
    do {
        if (!m_files.readLine(FileNo, LineBuf))
            return false;
        Lbl->setCaption(Lbl->caption() + QStringLiteral("\r\n") + LineBuf);
    } while (!LineBuf.isEmpty() && !m_files.atEnd(FileNo));

    if (m_files.atEnd(FileNo)) {
        // The lines gathered by a read that reached the end are never shown.
        m_files.close(FileNo);
        TxtStop();
        return true;
    }
    TxtRgb.fill(0);
    Lbl->setForeColor(0);
    TimLbl->setEnabled(true);
    return true;
}

void Fom::ComNext_MouseDown(int button)
{
    if (button == kRightButton)
        TxtStop();
}

void Fom::keyPressEvent(QKeyEvent *event)
{
    // Escape skips the story, as a right press on ComNext does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && ComNext->isVisibleTo(this)) {
        ComNext_MouseDown(kRightButton);
        return;
    }
    QWidget::keyPressEvent(event);
}

void Fom::TimLbl_Timer()
{
    Lbl->setForeColor(fadeStep(TxtRgb, m_random));
    // White draws nothing and changes nothing on screen: the timer rests until
    // the next page starts a fade again.
    if (Lbl->foreColor() == 0xFFFFFF)
        TimLbl->setEnabled(false);
}

void Fom::TxtStop()
{
    m_files.close(FileNo);
    if (EndFlg) {
        Form_Activate();
        return;
    }
    Lbl->setForeColor(0xFFFFFF);
    Lbl->setCaption(QString());
    BakCom->show();
    BakMove->show();
    // Not the next control after ComNext, 戻る, which a Return too many would
    // press: the eternal album costs nothing, and 森 is one Tab away.
    Lst[2]->setFocus(Qt::OtherFocusReason);
    ComNext->hide();
    TimLbl->setEnabled(false);
}
