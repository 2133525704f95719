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
    // Beside the program (the build's folder, a portable copy), then where an
    // installation puts it.
    QList<QByteArray> modules;
    for (const QString &folder : {programDir, programDir + QStringLiteral("/" SHASHIN_SOUND_MODULE_FROM_BIN)})
        modules << QFile::encodeName(folder + QStringLiteral("/" SHASHIN_SOUND_MODULE));
    return std::make_unique<DeferredAudioBackend>(
        [modules, soundFont = gameSoundFont().toUtf8()](const std::atomic_bool &cancelled) -> std::unique_ptr<AudioBackend> {
            for (const QByteArray &module : modules) {
                // Never unloaded: what it makes lives until the program ends.
                if (void *handle = dlopen(module.constData(), RTLD_NOW | RTLD_LOCAL)) {
                    auto open = reinterpret_cast<decltype(&shashin_sound_open)>(dlsym(handle, SHASHIN_SOUND_OPEN));
                    return std::unique_ptr<AudioBackend>(open ? open(soundFont.constData(), &cancelled) : nullptr);
                }
            }
            return nullptr;
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
