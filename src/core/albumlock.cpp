#include "core/albumlock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace {

const QByteArray kRaise = "raise\n";
const QByteArray kRaised = "raised\n";
constexpr int kAnswerMs = 3000;

// Unix socket paths are short: the album's path is named by its hash, in the
// player's runtime folder where there is one.
QString serverName(const QString &albumPath)
{
    const QByteArray hash = QCryptographicHash::hash(QFileInfo(albumPath).absoluteFilePath().toUtf8(),
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(16);
    const QString name = QStringLiteral("shashin-") + QString::fromLatin1(hash);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir() ? QDir(runtime).filePath(name) : name;
}

} // namespace

AlbumLock::AlbumLock(const QString &albumPath, QObject *parent)
    : QObject(parent)
    , m_albumPath(albumPath)
{
}

AlbumLock::~AlbumLock()
{
    if (m_server)
        m_server->close();
}

AlbumLock::State AlbumLock::lock()
{
    QDir().mkpath(QFileInfo(m_albumPath).absolutePath());
    m_file = std::make_unique<QLockFile>(m_albumPath + QStringLiteral(".lock"));
    // A game runs for hours: only a lock whose game is gone is stale, never an old one.
    m_file->setStaleLockTime(0);
    if (!m_file->tryLock(0))
        return m_file->error() == QLockFile::LockFailedError ? HeldElsewhere : Unavailable;

    // Held: a socket that a game killed earlier left behind is ours to replace.
    const QString name = serverName(m_albumPath);
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(name))
        connect(m_server, &QLocalServer::newConnection, this, &AlbumLock::answer);
    return Held;
}

bool AlbumLock::raiseHolder() const
{
    QLocalSocket socket;
    socket.connectToServer(serverName(m_albumPath));
    if (!socket.waitForConnected(kAnswerMs))
        return false;
    socket.write(kRaise);
    if (!socket.waitForBytesWritten(kAnswerMs))
        return false;
    QByteArray reply;
    while (!reply.endsWith('\n') && socket.waitForReadyRead(kAnswerMs))
        reply += socket.readAll();
    return reply == kRaised;
}

void AlbumLock::answer()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto read = [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == kRaise) {
                emit raiseRequested();
                socket->write(kRaised);
            }
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}
