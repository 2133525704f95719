// The yardstick of bench_rest: the least a Qt Widgets window like the game's can
// cost. A black window of the game's size and place holding one label of Japanese
// text at the game's point size, which fades in from black on a 15 ms timer and
// then rests with nothing scheduled. Links Qt Widgets and nothing else.
//
// Prints "painted <ns>" (CLOCK_MONOTONIC) when the label is first painted.

#include "firstpaint.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    QPalette black = window.palette();
    black.setColor(QPalette::Window, Qt::black);
    window.setPalette(black);
    window.setAutoFillBackground(true);

    // The game's rule: 8/10 of the screen high, 4:3, centred; its text size grows
    // with the height (one point per 1000 twips, plus two).
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int height = screen.height() * 8 / 10;
    const int width = height * 4 / 3;
    window.setGeometry((screen.width() - width) / 2, (screen.height() - height) / 2, width, height);

    QLabel label(QStringLiteral("\nここは、人の入らぬ深い谷。\n森と水と土に抱かれて、\n"
                                "まだ名も知られぬ生き物たちが\nひっそりと暮らしている。\n"),
                 &window);
    label.setGeometry(0, 0, width / 2, height);
    label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont font = label.font();
    font.setPointSize(height * 15 / 1000 + 2);
    label.setFont(font);
    FirstPaint firstPaint(&label, [] { return true; }, [](long long at) {
        std::printf("painted %lld\n", at);
        std::fflush(stdout);
    });

    int grey = 0;
    auto setGrey = [&label](int value) {
        QPalette p = label.palette();
        p.setColor(QPalette::WindowText, QColor(value, value, value));
        label.setPalette(p);
    };
    setGrey(grey);
    QTimer fade;
    fade.setTimerType(Qt::PreciseTimer);
    fade.setInterval(15);
    QObject::connect(&fade, &QTimer::timeout, [&] {
        grey = std::min(255, grey + 25);
        setGrey(grey);
        if (grey == 255)
            fade.stop();
    });
    fade.start();

    window.show();
    return QApplication::exec();
}
