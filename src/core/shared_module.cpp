#include "core/shared_module.h"

#include "platform/sounddevice.h"

共用関数::共用関数(SoundDevice &device)
    : m_device(device)
{
}

void 共用関数::OpenMidi(const QString &path)
{
    send(QStringLiteral("close MIDI notify"));
    send(QStringLiteral("open \"") + path + QStringLiteral("\" alias MIDI"));
}

void 共用関数::CloseMidi()
{
    send(QStringLiteral("close MIDI notify"));
}

void 共用関数::PlayMidi()
{
    if (MusicOn)
        send(QStringLiteral("play MIDI notify"));
}

void 共用関数::PlayWave(const QString &path)
{
    m_device.playWave(path);
}

QString 共用関数::query(const QString &command)
{
    return m_device.sendString(command);
}

std::chrono::milliseconds 共用関数::statusSteadyFor() const
{
    return m_device.statusSteadyFor();
}

void 共用関数::send(const QString &command)
{
    m_device.sendString(command);
}
