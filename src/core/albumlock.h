#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One game per album: a lock the system holds on the folder the album really is
// in (at the end of its links) for as long as the game runs, and drops when the
// process ends however it ends; and a local socket through which a second game
// started on the same album asks the first to come to the front instead of
// playing on the same file. Only games of the same user talk to each other.
class AlbumLock final : public QObject
{
    Q_OBJECT
public:
    enum State {
        Held,           // this game has the album
        HeldElsewhere,  // another game, still running, has it
        Unavailable,    // the folder cannot be locked (see failure())
    };

    explicit AlbumLock(const QString &albumPath, QObject *parent = nullptr);
    ~AlbumLock() override;

    State lock();
    // The folder that is locked, and why it could not be, in the player's words.
    QString folder() const { return m_folder; }
    QString failure() const { return m_failure; }
    // Where the game that holds the album listens, once lock() has looked;
    // empty when no folder of this user's own could hold the socket.
    QString serverName() const { return m_serverName; }
    // Asks the game that holds the album to bring its window to the front; true
    // once it has answered, within one deadline however it answers.
    bool raiseHolder() const;

signals:
    void raiseRequested();

private:
    void answer();

    QString m_folder;
    QString m_serverName;  // empty when there is no private place for the socket
    QString m_failure;
    int m_fd = -1;
    QLocalServer *m_server = nullptr;
};
