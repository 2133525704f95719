#include "core/albumlock.h"

#include "platform/regularfile.h"
#include "platform/textfiles.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QByteArray kRaise = "raise\n";
const QByteArray kRaised = "raised\n";
// The whole exchange, however slowly the other end sends.
constexpr int kAnswerMs = 3000;
constexpr qint64 kLongestLine = 64;
constexpr int kRetryMs = 50;

#ifdef Q_OS_UNIX
// A folder only this user can enter: anyone else could take the socket's name
// first, or listen there in its place.
bool isPrivateFolder(const QByteArray &folder)
{
    struct stat info = {};
    return ::lstat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
           && (info.st_mode & 077) == 0;
}

QString privateRuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && isPrivateFolder(runtime))
        return QFile::decodeName(runtime);
    const QByteArray own = QFile::encodeName(QDir::tempPath()) + "/shashin-" + QByteArray::number(::geteuid());
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return isPrivateFolder(own) ? QFile::decodeName(own) : QString();
}

// The same user on the other end, or nobody to talk to.
bool isOwnUser(const QLocalSocket &socket)
{
    struct ucred peer = {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
           && peer.uid == ::geteuid();
}
#endif

} // namespace

AlbumLock::AlbumLock(const QString &albumPath, QObject *parent)
    : QObject(parent)
{
    // The player's own folder is made at the first start; a folder at the end of
    // links is the player's to make.
    QDir().mkpath(QFileInfo(albumPath).absolutePath());
    m_folder = QFileInfo(TextFiles::replacedPath(albumPath)).absolutePath();
}

AlbumLock::~AlbumLock()
{
    if (m_server)
        m_server->close();
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd);  // the lock goes with it
#endif
}

AlbumLock::State AlbumLock::lock()
{
#ifdef Q_OS_UNIX
    // The folder, not the album: a save replaces the album's file, and a lock on
    // a folder needs no file made and no free space.
    m_fd = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_NOCTTY | O_CLOEXEC);
    struct stat info = {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0) {
        m_failure = fileErrorReason(errno);
        return Unavailable;
    }
    // Games that reach the album through different links find each other by the folder itself.
    const QByteArray id = QByteArray::number(quint64(info.st_dev)) + ':' + QByteArray::number(quint64(info.st_ino));
    const QString runtime = privateRuntimeFolder();
    if (!runtime.isEmpty()) {
        const QByteArray hash = QCryptographicHash::hash(id, QCryptographicHash::Sha1).toHex().left(16);
        m_serverName = QDir(runtime).filePath(QStringLiteral("shashin-") + QString::fromLatin1(hash));
    }
    int locked = 0;
    do
        locked = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        if (error == EWOULDBLOCK)
            return HeldElsewhere;
        m_failure = fileErrorReason(error);
        return Unavailable;
    }
#endif
    if (m_serverName.isEmpty())
        return Held;
    // Held: a socket that a game killed earlier left behind is ours to replace.
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(m_serverName))
        connect(m_server, &QLocalServer::newConnection, this, &AlbumLock::answer);
    return Held;
}

bool AlbumLock::raiseHolder() const
{
    if (m_serverName.isEmpty())
        return false;
    const QDeadlineTimer deadline(kAnswerMs);
    const auto left = [&deadline] { return int(deadline.remainingTime()); };
    QLocalSocket socket;
    // A game that has just taken the lock may not be listening yet.
    for (;;) {
        socket.connectToServer(m_serverName);
        if (socket.waitForConnected(left()))
            break;
        if (deadline.remainingTime() < kRetryMs)
            return false;
        QThread::msleep(kRetryMs);
    }
#ifdef Q_OS_UNIX
    if (!isOwnUser(socket))
        return false;
#endif
    socket.write(kRaise);
    if (!socket.waitForBytesWritten(left()))
        return false;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() <= kLongestLine && !deadline.hasExpired()
           && socket.waitForReadyRead(left()))
        reply += socket.read(kLongestLine + 1 - reply.size());
    return reply == kRaised;
}

void AlbumLock::answer()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
#ifdef Q_OS_UNIX
        if (!isOwnUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
#endif
        // A peer that never finishes its line is dropped: it holds nothing up.
        socket->setReadBufferSize(kLongestLine);
        QTimer::singleShot(kAnswerMs, socket, [socket] { socket->abort(); });
        const auto read = [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine(kLongestLine + 1) == kRaise) {
                emit raiseRequested();
                socket->write(kRaised);
            }
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}
