#include "sound/soundmodule.h"

#include "sound/sdlaudio.h"

#include <QString>

extern "C" AudioBackend *shashin_sound_open(const char *soundFont, const std::atomic_bool *cancelled)
{
    return SdlAudioBackend::create(QString::fromUtf8(soundFont), cancelled).release();
}
