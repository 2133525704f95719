#include "fuzzing.h"

#include "support/gamefixture.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace fuzzing {

QString folder()
{
    static QTemporaryDir dir;
    return dir.path();
}

QString writeInput(const QString &name, const std::uint8_t *data, std::size_t size)
{
    const QString path = folder() + u'/' + name;
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes(data, size)) == qsizetype(size),
          "the input is written");
    return path;
}

void check(bool holds, const char *what)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

GameFixture &game()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Torn down at exit, after the window, like the game's own.
    static QApplication application(argc, argv);
    static GameFixture fixture;
    static const bool loaded = fixture.load();
    check(loaded, "the window loads");
    return fixture;
}

} // namespace fuzzing
