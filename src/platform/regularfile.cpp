#include "platform/regularfile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

FileRead refused(const QString &reason)
{
    return {FileRead::Refused, {}, reason};
}

QString tooLarge(qint64 maxSize)
{
    return QStringLiteral("%1 MiB を超える大きさです").arg(maxSize >> 20);
}

} // namespace

#ifdef Q_OS_UNIX
QString fileErrorReason(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("読み取りが許されていません");
    case EIO:
        return QStringLiteral("読み取り中に入出力エラーが起きました");
    case ELOOP:
        return QStringLiteral("リンクが循環しています");
    case ENOENT:
        return QStringLiteral("リンク先がありません");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}
#endif

namespace {

#ifdef Q_OS_UNIX
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};
#endif

} // namespace

FileRead readRegularFile(const QString &path, qint64 maxSize)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    // Without O_NONBLOCK, opening a FIFO waits for a writer that never comes.
    const Descriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) {
        const int error = errno;
        struct stat link = {};
        if (error == ENOENT && ::lstat(name.constData(), &link) != 0)
            return {};
        return refused(fileErrorReason(error));
    }
    struct stat info = {};
    if (::fstat(file.get(), &info) != 0)
        return refused(fileErrorReason(errno));
    if (!S_ISREG(info.st_mode))
        return refused(S_ISDIR(info.st_mode) ? QStringLiteral("フォルダーです")
                                             : QStringLiteral("通常のファイルではありません"));
    if (info.st_size > maxSize)
        return refused(tooLarge(maxSize));
    // The size may change while it is read: never more than the limit.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > maxSize)
                return refused(tooLarge(maxSize));
            bytes.resize(qMin<qint64>(maxSize + 1, got * 2 + 4096));
        }
        const ssize_t n = ::read(file.get(), bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refused(fileErrorReason(errno));
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxSize)
        return refused(tooLarge(maxSize));
    bytes.truncate(got);
    return {FileRead::Read, bytes, {}};
#else
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    if (!info.isFile())
        return refused(QStringLiteral("通常のファイルではありません"));
    if (info.size() > maxSize)
        return refused(tooLarge(maxSize));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(file.errorString());
    QByteArray bytes = file.read(maxSize + 1);
    if (file.error() != QFileDevice::NoError)
        return refused(file.errorString());
    if (bytes.size() > maxSize)
        return refused(tooLarge(maxSize));
    return {FileRead::Read, bytes, {}};
#endif
}
