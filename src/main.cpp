#include "core/fom.h"
#include "platform/messagebox.h"
#include "platform/random.h"
#include "platform/sounddevice.h"
#include "sound/gameaudio.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QtMessageBoxes::title());

    ClockRandom random;
    QtMessageBoxes messages;
    SoundDevice sound(makeGameAudioBackend());
    Fom window({QCoreApplication::applicationDirPath(), &random, &messages, &sound});
    if (!window.Form_Load())
        return 1;
    messages.setParent(&window);
    window.show();
    return QApplication::exec();
}
