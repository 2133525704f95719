#include "platform/textfiles.h"

#include "platform/codepage.h"

#include <QFile>
#include <QSaveFile>

struct TextFiles::OpenFile
{
    // Reading: the whole file, and how far into it we are.
    QByteArray data;
    qsizetype position = 0;
    // Writing: null while reading.
    std::unique_ptr<QSaveFile> out;

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
    if (number < 1 || isOpen(number))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    auto open = std::make_unique<OpenFile>();
    open->data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    m_files.emplace(number, std::move(open));
    return true;
}

bool TextFiles::openForWriting(int number, const QString &path)
{
    if (number < 1 || isOpen(number))
        return false;
    auto open = std::make_unique<OpenFile>();
    open->out = std::make_unique<QSaveFile>(path);
    // Never fall back to writing over the old file in place: that is what
    // could leave half a file behind.
    open->out->setDirectWriteFallback(false);
    if (!open->out->open(QIODevice::WriteOnly))
        return false;
    m_files.emplace(number, std::move(open));
    return true;
}

bool TextFiles::readLine(int number, QString &line)
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
    line = codepage::decode(data.mid(start, end - start));

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
    const QByteArray bytes = codepage::encode(line) + "\r\n";
    return it->second->out->write(bytes) == bytes.size();
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

bool TextFiles::isOpen(int number) const
{
    return m_files.count(number) != 0;
}
