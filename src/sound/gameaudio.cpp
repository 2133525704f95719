#include "sound/gameaudio.h"

#include "platform/sounddevice.h"
#include "sound/deferredaudio.h"
#include "sound/sdlaudio.h"

#include <QFileInfo>

std::unique_ptr<AudioBackend> makeGameAudioBackend()
{
    return std::make_unique<DeferredAudioBackend>(
        [soundFont = gameSoundFont()](const std::atomic_bool &cancelled) -> std::unique_ptr<AudioBackend> {
            return SdlAudioBackend::create(soundFont, &cancelled, SdlAudioBackend::Caller::Worker);
        },
        DeferredAudioBackend::Start::AfterFirstPaint);
}

QString gameSoundFont()
{
    // TimGM6mb is what we ship against; default-GM is Debian's chosen GM soundfont.
    for (const char *path : {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2"}) {
        const QString candidate = QString::fromLatin1(path);
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}
