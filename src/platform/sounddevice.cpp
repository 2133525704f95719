#include "platform/sounddevice.h"

#include <QFileInfo>
#include <QRegularExpression>

bool SilentBackend::openMusic(const QString &path)
{
    m_open = QFileInfo(path).isFile();
    m_playing = false;
    return m_open;
}

SoundDevice::SoundDevice(std::unique_ptr<AudioBackend> backend)
    : m_backend(std::move(backend))
{
}

SoundDevice::~SoundDevice()
{
    if (m_open)
        m_backend->closeMusic();
}

QString SoundDevice::sendString(const QString &command)
{
    return execute(command);
}

void SoundDevice::playWave(const QString &path)
{
    m_backend->playCry(path);
}

std::chrono::milliseconds SoundDevice::statusSteadyFor() const
{
    return m_open ? m_backend->musicSteadyFor() : AudioBackend::kUntilTold;
}

QString SoundDevice::execute(const QString &command)
{
    static const QRegularExpression open(QStringLiteral(R"re(^open\s+"([^"]*)"\s+alias\s+MIDI$)re"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString simplified = command.simplified();
    const QString lower = simplified.toLower();

    if (const auto match = open.match(simplified); match.hasMatch()) {
        if (m_open)  // the alias names one device at a time; a second open fails
            return {};
        m_open = m_backend->openMusic(match.captured(1));
        return {};
    }
    if (!m_open)
        return {};
    if (lower == u"close midi" || lower == u"close midi notify") {
        m_backend->closeMusic();
        m_open = false;
    } else if (lower == u"play midi" || lower == u"play midi notify") {
        m_backend->playMusic();
    } else if (lower == u"play midi from 0") {
        m_backend->seekMusicToStart();
        m_backend->playMusic();
    } else if (lower == u"seek midi to start") {
        m_backend->seekMusicToStart();
    } else if (lower == u"status midi mode") {
        return m_backend->isMusicPlaying() ? QStringLiteral("playing") : QStringLiteral("stopped");
    }
    return {};
}
