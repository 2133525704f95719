#pragma once

#include <QString>

#include <functional>

// Where the game reads its data set and keeps the eternal album.
struct GameFolders
{
    QString dataDir;    // holds img/, bgm/ and txt/
    QString albumPath;  // the eternal album's file
    // The album to start from while albumPath has none yet: the one beside a
    // portable game whose txt/ cannot be written; empty otherwise.
    QString startingAlbumPath;
};

// The game's folder in the player's own data folder, as the XDG rules have it on
// Linux: $XDG_DATA_HOME/shashin when that is an absolute path, else
// $HOME/.local/share/shashin; empty when there is no home to put it in.
QString playerDataFolder();

// Whether new files can be made in `folder` by this process (root can write
// where the permission bits say no; a read-only mount stops everyone).
bool isWritableFolder(const QString &folder);

// The layout rule, decided once at start-up from the executable's folder:
// - portable, when `exeDir`/txt/name.dat exists: the data set is beside the
//   executable, and so is the album (txt/abm.dat) if txt/ is writable; if it is
//   not, the album goes to `playerDir`, starting from the one in txt/;
// - installed otherwise: the data set is `exeDir`/../share/shashin (read-only,
//   any prefix), the album is in `playerDir`.
// `playerDir` is the player's own writable data folder; when it is empty (no
// home) and the album would go there, albumPath is empty.
GameFolders gameFolders(const QString &exeDir, const QString &playerDir,
                        const std::function<bool(const QString &)> &writable = isWritableFolder);
