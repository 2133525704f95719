#include "platform/textfiles.h"

#include "platform/codepage.h"
#include "platform/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <filesystem>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// What a replacement is called while it is being written: no one else names a
// file like this, so what a killed save leaves behind can be told apart safely.
const QString kWritingInfix = QStringLiteral(".saving-");
constexpr int kSuffixLength = 6;

QString randomSuffix()
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < kSuffixLength; ++i)
        suffix += QLatin1Char(kChars[QRandomGenerator::global()->bounded(int(sizeof kChars) - 1)]);
    return suffix;
}

#ifdef Q_OS_UNIX
// Some file systems find out only when syncing that there is no room after all.
// One that cannot sync at all is no reason to fail.
bool syncToDisk(int fd)
{
    return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
}
#endif

} // namespace

// A new version of a file, written beside it and put in its place, atomically,
// only once every byte of it is on the disk. Until then the old file is untouched;
// a replacement that is not committed is removed.
class TextFiles::Replacement
{
public:
    explicit Replacement(const QString &path)
        : m_path(replacedPath(path))
    {
    }
    ~Replacement() { discard(); }

    bool open()
    {
        for (int attempt = 0; attempt < 8; ++attempt) {
            m_file.setFileName(m_path + kWritingInfix + randomSuffix());
            if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                m_created = true;
                keepPermissions();
                return true;
            }
            if (!m_file.exists())  // not a clash of names: the folder will not have it
                return false;
        }
        return false;
    }

    bool write(const QByteArray &bytes) { return m_file.write(bytes) == bytes.size(); }

    // Every write, the last flush, the sync and the rename are checked; any
    // failure throws the new text away and leaves the old file as it was.
    bool commit()
    {
        bool ok = m_file.flush() && m_file.error() == QFileDevice::NoError;
#ifdef Q_OS_UNIX
        ok = ok && syncToDisk(m_file.handle());
#endif
        m_file.close();
        ok = ok && m_file.error() == QFileDevice::NoError;
        std::error_code error;
        if (ok)
            std::filesystem::rename(QFileInfo(m_file).filesystemFilePath(), QFileInfo(m_path).filesystemFilePath(),
                                    error);
        if (!ok || error) {
            discard();
            return false;
        }
        m_created = false;
#ifdef Q_OS_UNIX
        // The rename itself reaches the disk with the folder.
        const int folder = ::open(QFile::encodeName(QFileInfo(m_path).absolutePath()).constData(), O_RDONLY);
        if (folder >= 0) {
            syncToDisk(folder);
            ::close(folder);
        }
#endif
        return true;
    }

private:
    void keepPermissions()
    {
#ifdef Q_OS_UNIX
        struct stat old = {};
        if (::stat(QFile::encodeName(m_path).constData(), &old) == 0)
            ::fchmod(m_file.handle(), old.st_mode & 07777);
#endif
    }

    void discard()
    {
        m_file.close();
        if (m_created)
            m_file.remove();
        m_created = false;
    }

    QString m_path;
    QFile m_file;
    bool m_created = false;
};

struct TextFiles::OpenFile
{
    // Reading: the whole file, and how far into it we are.
    QByteArray data;
    qsizetype position = 0;
    // Writing: null while reading.
    std::unique_ptr<Replacement> out;

    bool isForReading() const { return !out; }
};

TextFiles::TextFiles() = default;
TextFiles::~TextFiles() = default;

int TextFiles::nextFree() const
{
    int number = 1;
    while (m_files.count(number) != 0)
        ++number;
    return number;
}

bool TextFiles::openForReading(int number, const QString &path)
{
    m_readFailure.clear();
    if (number < 1 || isOpen(number))
        return false;
    FileRead read = readRegularFile(path);
    m_readFailure = read.reason;
    if (!read.ok())
        return false;
    auto open = std::make_unique<OpenFile>();
    open->data = std::move(read.bytes);
    m_files.emplace(number, std::move(open));
    return true;
}

bool TextFiles::openForWriting(int number, const QString &path)
{
    if (number < 1 || isOpen(number))
        return false;
    auto open = std::make_unique<OpenFile>();
    open->out = std::make_unique<Replacement>(path);
    if (!open->out->open())
        return false;
    m_files.emplace(number, std::move(open));
    return true;
}

bool TextFiles::readLine(int number, QString &line, bool *exact)
{
    const auto it = m_files.find(number);
    if (it == m_files.end() || !it->second->isForReading())
        return false;
    OpenFile &file = *it->second;
    const QByteArray &data = file.data;
    const qsizetype start = file.position;
    if (start >= data.size())
        return false;

    // Code page 932 never uses CR or LF as the second byte of a character, so
    // the bytes can be split before decoding.
    qsizetype end = start;
    while (end < data.size() && data.at(end) != '\r' && data.at(end) != '\n')
        ++end;
    const QByteArray bytes = data.mid(start, end - start);
    line = codepage::decode(bytes);
    if (exact)
        *exact = codepage::encode(line) == bytes;

    if (end < data.size()) {
        const bool crlf = data.at(end) == '\r' && end + 1 < data.size() && data.at(end + 1) == '\n';
        end += crlf ? 2 : 1;
    }
    file.position = end;
    return true;
}

bool TextFiles::atEnd(int number) const
{
    const auto it = m_files.find(number);
    if (it == m_files.end() || !it->second->isForReading())
        return true;
    return it->second->position >= it->second->data.size();
}

bool TextFiles::writeLine(int number, const QString &line)
{
    const auto it = m_files.find(number);
    if (it == m_files.end() || it->second->isForReading())
        return false;
    return it->second->out->write(codepage::encode(line) + "\r\n");
}

bool TextFiles::close(int number)
{
    const auto it = m_files.find(number);
    if (it == m_files.end())
        return true;
    // The number is free again whatever the outcome; a failed commit has
    // already thrown the temporary file away.
    const std::unique_ptr<OpenFile> file = std::move(it->second);
    m_files.erase(it);
    return file->isForReading() || file->out->commit();
}

QString TextFiles::replacedPath(const QString &path)
{
    namespace fs = std::filesystem;
    fs::path file = QFileInfo(path).filesystemAbsoluteFilePath();
    std::error_code error;
    // As deep as the system itself follows links.
    for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(file, error)); ++depth) {
        const fs::path target = fs::read_symlink(file, error);
        if (error)
            break;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return QFile::decodeName(file.c_str());
}

bool TextFiles::replaceFile(const QString &path, const QByteArray &bytes)
{
    Replacement out(path);
    return out.open() && out.write(bytes) && out.commit();
}

void TextFiles::removeStaleTemporaries(const QString &folder,
                                       const std::function<bool(const QString &name)> &isReplaced)
{
    static const QRegularExpression temporary(QLatin1String("^(.+)") + QRegularExpression::escape(kWritingInfix)
                                              + QStringLiteral("[A-Za-z0-9]{%1}$").arg(kSuffixLength));
    QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = temporary.match(name);
        if (match.hasMatch() && isReplaced(match.captured(1)))
            dir.remove(name);
    }
}

bool TextFiles::isOpen(int number) const
{
    return m_files.count(number) != 0;
}
