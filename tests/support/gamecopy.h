#pragma once

#include <QProcess>
#include <QProcessEnvironment>
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
    // Whether a game of this copy holds its album: it is up and playing.
    bool albumLocked() const;

private:
    QTemporaryDir m_dir;
};
