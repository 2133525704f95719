#include "core/fom.h"
#include "core/gamefolders.h"
#include "platform/messagebox.h"
#include "platform/quitsignals.h"
#include "platform/random.h"
#include "platform/sounddevice.h"
#include "sound/gameaudio.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStandardPaths>

int main(int argc, char *argv[])
{
    if (argc > 1) {
        // --help and --version answer on the terminal, before a display is needed.
        QCoreApplication terminal(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(SHASHIN_VERSION));
        QCommandLineParser options;
        options.setApplicationDescription(QStringLiteral("写真: photograph the creatures of the valley."));
        options.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        // Not addHelpOption(): its --help-all would list Qt's options, which only QApplication knows.
        const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                      QStringLiteral("Displays this help and exits."));
        options.addOption(help);
        const QCommandLineOption version = options.addVersionOption();
        // Qt's own options (-platform, -style, …) are left to QApplication.
        options.parse(QCoreApplication::arguments());
        if (options.isSet(help))
            options.showHelp();
        if (options.isSet(version))
            options.showVersion();
    }
    QApplication app(argc, argv);
    // The name makes the player's data folder: ~/.local/share/shashin.
    QApplication::setApplicationName(QStringLiteral("shashin"));
    QGuiApplication::setDesktopFileName(QStringLiteral(SHASHIN_APP_ID));

    const GameFolders folders = gameFolders(QCoreApplication::applicationDirPath(),
                                            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    ClockRandom random;
    QtMessageBoxes messages;
    SoundDevice sound(makeGameAudioBackend());
    Fom window({folders.dataDir, &random, &messages, &sound, folders.albumPath, folders.startingAlbumPath});
    if (!window.Form_Load())
        return 1;
    // From now on there is an album to save: the signals that ask a program to
    // end close the game as the player does, message boxes first.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &app, &QApplication::closeAllWindows);
    messages.setParent(&window);
    window.show();
    const int status = QApplication::exec();
    // The player is told in a box; whoever started the game learns it here.
    return window.albumSaveFailed() ? 1 : status;
}
