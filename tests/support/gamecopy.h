#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// A portable copy of the built game in a folder of the test's own: the
// executable beside its data set, so that the album it keeps (txt/abm.dat) is
// the test's and never the build's. Started on the offscreen platform, silent.
class GameCopy
{
public:
    GameCopy();

    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    QString albumPath() const { return path(QStringLiteral("txt/abm.dat")); }

    // Starts a game of this copy; `beforeExec` runs in the child, before the game.
    std::unique_ptr<QProcess> start(const QProcessEnvironment &extra = {},
                                     const std::function<void()> &beforeExec = {}) const;
    // Whether a game holds the lock on this copy's album: then it is up and
    // playing. Seen from /proc/locks, without taking it.
    bool albumLocked() const;

private:
    QTemporaryDir m_dir;
};

// Sends `signal` to a game (none for 0: it ends by itself) and waits for it to
// end: its exit status, -1 if it crashed or had not ended after `waitMs`.
int endedWith(QProcess &game, int signal, int waitMs = 20000);

// An eternal album as the game writes it: `rows` rows "<prefix>NN,KK", KK the
// row modulo 30 (a creature of the data set), NN the row, two digits at least.
QByteArray albumBytes(int rows, const QString &prefix = QStringLiteral("生き物"));

// Forks; the child runs `body` and exits with what it returns, while this process
// answers events. The child's exit status, minus the signal that ended it, or
// -SIGKILL when it was still running after `waitMs`.
int inChild(const std::function<int()> &body, int waitMs = 60000);

// What a folder holds, to compare before and after: each entry's name, whether
// it is a link, a regular file or neither, its size, and the bytes of small files.
QStringList folderEntries(const QString &folder);
