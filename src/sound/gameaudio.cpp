#include "sound/gameaudio.h"

#include "platform/sounddevice.h"
#include "sound/deferredaudio.h"
#include "sound/soundmodule.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLibrary>
#include <QLoggingCategory>

#include <utility>

Q_LOGGING_CATEGORY(lcSound, "shashin.sound", QtWarningMsg)

namespace {

// libpulse and PipeWire read these when the sound module connects, on its
// worker: they are set before it starts, and a player's own settings stay.
void describeStreamToSoundServers()
{
    const auto setUnlessSet = [](const char *name, const QByteArray &value) {
        if (!qEnvironmentVariableIsSet(name))
            qputenv(name, value);
    };
    // SDL asks PulseAudio to queue one device buffer (23 ms, sdlaudio.cpp) and no
    // more, which runs dry whenever the audio thread is a little late; 70 ms keep
    // the music whole with both cores busy, and a cry is heard 60 ms after the click.
    setUnlessSet("PULSE_LATENCY_MSEC", "70");
    setUnlessSet("PULSE_PROP_media.role", "game");
    // The icon a mixer shows beside the game is the menu entry's.
    const QByteArray icon = QGuiApplication::desktopFileName().toUtf8();
    if (!icon.isEmpty()) {
        setUnlessSet("PULSE_PROP_application.icon_name", icon);
        setUnlessSet("PIPEWIRE_PROPS", "{ \"application.icon-name\": \"" + icon + "\" }");
    }
}

} // namespace

std::unique_ptr<AudioBackend> makeGameAudioBackend(const QString &programDir)
{
    describeStreamToSoundServers();
    // Beside the program (the build's folder, a portable copy), then where an
    // installation puts it.
    const QString dir = programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir;
    QStringList modules;
    for (const QString &folder : {dir, dir + QStringLiteral("/" SHASHIN_SOUND_MODULE_FROM_BIN)})
        modules << QFileInfo(folder + QStringLiteral("/" SHASHIN_SOUND_MODULE)).absoluteFilePath();
    const QString soundFont = gameSoundFont();
    if (soundFont.isEmpty())
        qCWarning(lcSound) << "no General MIDI soundfont is installed (timgm6mb-soundfont): the music is silent";
    return std::make_unique<DeferredAudioBackend>(
        // Called again while there is no sound: what is missing is told once.
        [modules, soundFont = soundFont.toUtf8(), told = false](const std::atomic_bool &cancelled) mutable
        -> std::unique_ptr<AudioBackend> {
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
                if (!backend && !cancelled && !std::exchange(told, true))
                    qCWarning(lcSound) << "no audio device could be opened: the game is silent until there is one";
                return backend;
            }
            if (std::exchange(told, true))
                return nullptr;
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
