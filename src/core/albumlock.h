#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One game per album: a lock file beside the album, held for as long as the game
// runs (a lock left by a game that crashed is taken over), and a local socket
// through which a second game started on the same album asks the first to come
// to the front instead of playing on the same file.
class AlbumLock final : public QObject
{
    Q_OBJECT
public:
    enum State {
        Held,           // this game has the album
        HeldElsewhere,  // another game, still running, has it
        Unavailable,    // no lock can be made beside the album (a folder that cannot be written)
    };

    explicit AlbumLock(const QString &albumPath, QObject *parent = nullptr);
    ~AlbumLock() override;

    State lock();
    // Asks the game that holds the album to bring its window to the front; true
    // once it has answered.
    bool raiseHolder() const;

signals:
    void raiseRequested();

private:
    void answer();

    QString m_albumPath;
    std::unique_ptr<QLockFile> m_file;
    QLocalServer *m_server = nullptr;
};
