#include "core/commandline.h"
#include "core/fom.h"
#include "core/gamefolders.h"
#include "platform/messagebox.h"
#include "platform/quitsignals.h"
#include "platform/random.h"
#include "platform/sounddevice.h"
#include "sound/gameaudio.h"

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    answerCommandLine(argc, argv);
#ifdef SIGXFSZ
    // A file-size limit makes a save fail like a full disk, with the old album
    // kept and the player told, rather than kill the game in the middle of it.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("shashin"));
    QGuiApplication::setDesktopFileName(QStringLiteral(SHASHIN_APP_ID));

    QtMessageBoxes messages;
    const GameFolders folders = gameFolders(QCoreApplication::applicationDirPath(), playerDataFolder());
    if (folders.albumPath.isEmpty()) {
        messages.show(QStringLiteral("ホームフォルダーが分かりません（HOME がありません）。\r\n")
                          + QStringLiteral("永遠アルバムを保存する場所がないので、終わります。"),
                      MessageBoxes::Ok);
        return 1;
    }
    ClockRandom random;
    SoundDevice sound(makeGameAudioBackend());
    Fom window({folders.dataDir, &random, &messages, &sound, folders.albumPath, folders.startingAlbumPath});
    // The signals that ask a program to end close the game at once, boxes
    // included, with nobody there to answer them. One that comes during start-up
    // closes its box, and a start-up that did not load the album saves nothing.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &window, [&window] {
        window.closeUnattended();
        QApplication::closeAllWindows();
        QApplication::quit();
    });
    if (!window.Form_Load())
        return window.anotherGameIsOpen() ? 0 : 1;
    messages.setParent(&window);
    window.show();
    const int status = QApplication::exec();
    // The player is told in a box; whoever started the game learns it here.
    return window.albumSaveFailed() ? 1 : status;
}
