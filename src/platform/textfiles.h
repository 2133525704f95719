#pragma once

#include <QString>

#include <functional>
#include <map>
#include <memory>

// Sequential text files addressed by small file numbers, the way the game's
// files have always been read and written. Every text is code page 932 on disk.
// A line ends at CR LF, a lone CR or a lone LF; the terminator is not part of the
// line and the last line may lack one. A file is at its end once the line that
// reaches its last byte has been read. Written lines end with CR LF.
//
// Every operation reports failure by returning false; nothing throws. Numbers
// start at 1; opening a number below 1, or one already open, fails.
// Files still open for writing when this object is destroyed are discarded, not
// committed: the old files stay as they were.
class TextFiles
{
public:
    TextFiles();
    ~TextFiles();
    TextFiles(const TextFiles &) = delete;
    TextFiles &operator=(const TextFiles &) = delete;

    // The lowest number (1 and up) that is not open.
    int nextFree() const;

    // Reads the whole file at once; only a regular file of a sane size is read
    // (see readRegularFile), so that nothing here ever blocks.
    bool openForReading(int number, const QString &path);
    // Why the last openForReading of a file that is there failed; empty when the
    // file was missing or the open succeeded.
    QString readFailure() const { return m_readFailure; }
    // Creates the file anew or replaces it. The replacement is atomic: the new
    // text goes to a file "<name>.saving-XXXXXX" beside it and takes the old one's
    // place at close(), so a failure at any moment leaves the old file or the new
    // one (and, after a kill, that temporary file). A symbolic link stays: the
    // file it leads to is replaced, in its own folder (see replacedPath). The new
    // file keeps the old one's permission bits. A hard link cannot be kept.
    bool openForWriting(int number, const QString &path);

    // Reads the next line into `line`. Fails past the end or on a number not
    // open for reading. `exact`, when given, tells whether the line's bytes were
    // all code page 932, so that writing the line back gives the same bytes.
    bool readLine(int number, QString &line, bool *exact = nullptr);
    // True once the last byte has been read (and for a number that is not open).
    bool atEnd(int number) const;
    bool writeLine(int number, const QString &line);

    // Closing a number that is not open is no error. For a file open for writing
    // this is where the text is committed, once every byte has reached the disk;
    // false means a write failed (a full disk, a size limit) or the replace did,
    // and the old file (if any) is still in place, unchanged.
    bool close(int number);

    bool isOpen(int number) const;

    // The file that writing `path` replaces: `path` itself, or where its chain
    // of symbolic links ends.
    static QString replacedPath(const QString &path);
    // Replaces a whole file with `bytes` the same checked, atomic way.
    static bool replaceFile(const QString &path, const QByteArray &bytes);
    // Removes what replacing files of `folder` left behind when the process was
    // killed in the middle: the temporary files "<name>.saving-XXXXXX" of every
    // name that `isReplaced` accepts, nothing else.
    static void removeStaleTemporaries(const QString &folder,
                                       const std::function<bool(const QString &name)> &isReplaced);

private:
    class Replacement;
    struct OpenFile;
    std::map<int, std::unique_ptr<OpenFile>> m_files;
    QString m_readFailure;
};
