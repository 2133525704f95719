#pragma once

#include <QByteArray>
#include <QString>

// Reads the game's files whole, and only when they are what they claim to be:
// a regular file (or a link to one) of a size a game file can have. A FIFO, a
// device, a folder or a file that grows without end is refused at once, never
// waited on or read until memory runs out.
struct FileRead
{
    enum Status { Read, Missing, Refused };
    Status status = Missing;
    QByteArray bytes;
    // Why a file that is there could not be read, in the player's words.
    QString reason;

    bool ok() const { return status == Read; }
};

// No text or picture of the game comes near this.
inline constexpr qint64 kMaxGameFileSize = qint64(64) << 20;

// Missing only when nothing at all has the name: a link whose target is gone is
// refused, not missing.
FileRead readRegularFile(const QString &path, qint64 maxSize = kMaxGameFileSize);

#ifdef Q_OS_UNIX
// Why a file could not be opened or read, from errno, in the player's words.
QString fileErrorReason(int error);
#endif
