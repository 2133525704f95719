#pragma once

#include "core/fom.h"
#include "support/scripted.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A data folder of the test's own and a window over it, with scripted draws,
// answered message boxes and a recording sound device.
class GameFixture
{
public:
    // Writes names(), and an opening and two endings of two pages each ("opn p1 一",
    // "opn p1 二", ...). The recording device plays through `device` if given.
    explicit GameFixture(std::unique_ptr<AudioBackend> device = nullptr);
    ~GameFixture();

    QString dir() const { return m_dir.path(); }
    QString path(const QString &relative) const;

    // Writes lines as code page 932, each ended by CR LF.
    void writeLines(const QString &relative, const QStringList &lines);
    void writeBytes(const QString &relative, const QByteArray &bytes);
    QByteArray readBytes(const QString &relative) const;
    void remove(const QString &relative);

    // Thirty names "生き物00" to "生き物29".
    static QStringList names();

    Fom &window();
    // Creates the window and runs start-up; false if start-up refused.
    bool load();
    // load(), show, and wait until the first game has started.
    void start();
    // Closes the window (saving the album) and starts a new one on the same folder.
    void restart();
    // start(), then ends the opening text: the play panels are up.
    void startPlaying();
    // A picture of `size` in `format` ("BMP", "JPEG", "PNG") at img/<key>.dat.
    void writePicture(const QString &key, const char *format, QSize size = QSize(64, 48));
    // The recording sound backend of the window's device.
    RecordingBackend &backend() { return *m_backend; }
    SoundDevice &sound() { return *m_sound; }

    ScriptedRandom random;
    ScriptedMessages messages;
    MessageBoxes *boxes = &messages;  // the ones the window shows, if set before it is made
    // Where the window keeps its album, if not txt/abm.dat, and starts it from.
    QString albumPath;
    QString startingAlbumPath;

private:
    QTemporaryDir m_dir;
    RecordingBackend *m_backend = nullptr;
    std::unique_ptr<SoundDevice> m_sound;
    std::unique_ptr<Fom> m_window;
};

class ListBox;
class PictureBox;
// Nothing drawn on the box: no picture, and not the one before either.
bool blank(const PictureBox *box);
// Clicks a row of a list, as the player chooses it.
void selectRow(ListBox *list, int row, Qt::MouseButton button = Qt::LeftButton);
