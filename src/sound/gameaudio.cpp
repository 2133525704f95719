#include "sound/gameaudio.h"

#include "platform/sounddevice.h"
#include "sound/deferredaudio.h"
#include "sound/soundmodule.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

std::unique_ptr<AudioBackend> makeGameAudioBackend()
{
    return makeGameAudioBackend(QCoreApplication::applicationDirPath());
}

std::unique_ptr<AudioBackend> makeGameAudioBackend(const QString &programDir)
{
    const QByteArray module = QFile::encodeName(programDir + QStringLiteral("/" SHASHIN_SOUND_MODULE));
    return std::make_unique<DeferredAudioBackend>(
        [module, soundFont = gameSoundFont().toUtf8()](const std::atomic_bool &cancelled) -> std::unique_ptr<AudioBackend> {
            // Never unloaded: what it makes lives until the program ends.
            void *handle = dlopen(module.constData(), RTLD_NOW | RTLD_LOCAL);
            auto open = handle ? reinterpret_cast<decltype(&shashin_sound_open)>(dlsym(handle, SHASHIN_SOUND_OPEN))
                               : nullptr;
            return std::unique_ptr<AudioBackend>(open ? open(soundFont.constData(), &cancelled) : nullptr);
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
