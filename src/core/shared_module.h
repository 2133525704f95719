#pragma once

#include <QString>

#include <chrono>

class SoundDevice;

// The program's shared module: the music flag and the four sound commands, each of
// which sends its command strings to the one sound device.
class 共用関数
{
public:
    explicit 共用関数(SoundDevice &device);

    // Music enabled; set once at start-up just before the music starts.
    bool MusicOn = false;

    void OpenMidi(const QString &path);
    void CloseMidi();
    void PlayMidi();
    void PlayWave(const QString &path);

    // The device's answer to a query, for the music loop, and how long that
    // answer stays as it is at the least if no command comes.
    QString query(const QString &command);
    std::chrono::milliseconds statusSteadyFor() const;
    void send(const QString &command);

private:
    SoundDevice &m_device;
};
