#include "sound/gameaudio.h"

#include "platform/sounddevice.h"
#include "sound/deferredaudio.h"
#include "sound/soundmodule.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSound, "shashin.sound", QtWarningMsg)

std::unique_ptr<AudioBackend> makeGameAudioBackend()
{
    return makeGameAudioBackend(QCoreApplication::applicationDirPath());
}

std::unique_ptr<AudioBackend> makeGameAudioBackend(const QString &programDir)
{
    // Beside the program (the build's folder, a portable copy), then where an
    // installation puts it.
    QStringList modules;
    for (const QString &folder : {programDir, programDir + QStringLiteral("/" SHASHIN_SOUND_MODULE_FROM_BIN)})
        modules << QFileInfo(folder + QStringLiteral("/" SHASHIN_SOUND_MODULE)).absoluteFilePath();
    const QString soundFont = gameSoundFont();
    if (soundFont.isEmpty())
        qCWarning(lcSound) << "no General MIDI soundfont is installed (timgm6mb-soundfont): the music is silent";
    return std::make_unique<DeferredAudioBackend>(
        [modules, soundFont = soundFont.toUtf8()](const std::atomic_bool &cancelled) -> std::unique_ptr<AudioBackend> {
            QStringList failures;
            for (const QString &module : modules) {
                if (!QFileInfo::exists(module))
                    continue;
                // Never unloaded: what it makes lives until the program ends.
                QLibrary library(module);
                library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
                const auto open = reinterpret_cast<decltype(&shashin_sound_open)>(library.resolve(SHASHIN_SOUND_OPEN));
                if (!open) {
                    failures << library.errorString();
                    continue;
                }
                std::unique_ptr<AudioBackend> backend(open(soundFont.constData(), &cancelled));
                if (!backend && !cancelled)
                    qCWarning(lcSound) << "no audio device could be opened: the game is silent";
                return backend;
            }
            qCWarning(lcSound).noquote() << "the sound module would not load, the game is silent:"
                                         << (failures.isEmpty() ? QStringLiteral("not found at ") + modules.join(QStringLiteral(", "))
                                                                : failures.join(QStringLiteral("; ")));
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
