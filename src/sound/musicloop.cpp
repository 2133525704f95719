#include "core/fom.h"

#include "core/albumfile.h"
#include "platform/picturebox.h"

void Fom::BgmTim_Timer()
{
    // The device writes its mode into a buffer of 16 spaces, 15 of them usable.
    QString status = m_shared.query(QStringLiteral("status MIDI mode")).left(15);
    status += QString(16 - status.size(), u' ');
    if (status.left(7).toUpper() == u"STOPPED" && m_shared.MusicOn) {
        m_shared.send(QStringLiteral("seek MIDI to start"));
        m_shared.send(QStringLiteral("play MIDI from 0"));
    }
}

void Fom::Pic_Click()
{
    if (isCreatureKey(NowBeast))  // nothing on show yet, or a damaged album row: silence
        m_shared.PlayWave(PathBgm + NowBeast + QStringLiteral(".wav"));
}

void Fom::Pic_MouseDown(int)
{
    Pic->setBorder(PictureBox::Border::None);  // looks pressed while a button is held
}

void Fom::Pic_MouseUp(int)
{
    Pic->setBorder(PictureBox::Border::Single);
}
