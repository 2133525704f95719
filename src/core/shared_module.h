#pragma once

#include <QString>

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

    // The device's answer to a query, for the music loop.
    QString query(const QString &command);
    void send(const QString &command);

private:
    SoundDevice &m_device;
};
