// The game as src/main.cpp starts it, for bench_rest to time: prints
// "painted <ns>" (CLOCK_MONOTONIC) when the story label is first painted with a
// page on it (a page starts with a line break). Links what the game links.
//
//   game_window <data folder>

#include "core/fom.h"
#include "platform/messagebox.h"
#include "platform/random.h"
#include "platform/sounddevice.h"
#include "screen/controls.h"
#include "sound/gameaudio.h"

#include "firstpaint.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QtMessageBoxes::title());
    const QString dataDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath();

    ClockRandom random;
    QtMessageBoxes messages;
    // The sound module is the game's, beside the data.
    SoundDevice sound(makeGameAudioBackend(dataDir));
    Fom window({dataDir, &random, &messages, &sound, {}, {}});
    if (!window.Form_Load())
        return 1;
    messages.setParent(&window);
    FirstPaint page(
        window.Lbl, [&window] { return window.Lbl->caption().startsWith(QStringLiteral("\r\n")); },
        [](long long at) {
            std::printf("painted %lld\n", at);
            std::fflush(stdout);
        });
    window.show();
    // The window is never closed (closing saves the album into the data folder):
    // bench_rest ends this process.
    return QApplication::exec();
}
