#include "core/fom.h"

#include "core/albumfile.h"
#include "platform/gametimer.h"
#include "platform/picturebox.h"

#include <algorithm>

namespace {

// However steady the device says its answer is, the loop looks again this often.
constexpr std::chrono::milliseconds kLongestRest{1000};

} // namespace

void Fom::BgmTim_Timer()
{
    // The device writes its mode into a buffer of 16 spaces, 15 of them usable.
    QString status = m_shared.query(QStringLiteral("status MIDI mode")).left(15);
    status += QString(16 - status.size(), u' ');
    if (status.left(7).toUpper() == u"STOPPED" && m_shared.MusicOn) {
        m_shared.send(QStringLiteral("seek MIDI to start"));
        m_shared.send(QStringLiteral("play MIDI from 0"));
    }
    // Asking again before the answer can change wakes the game for nothing: with
    // music playing the timer rests until near the end of the piece.
    BgmTim->restFor(std::min(m_shared.statusSteadyFor(), kLongestRest));
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
