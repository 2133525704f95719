// shashin-datagen: writes the game's data set from the sources in content/.
//
//   shashin-datagen CONTENT_DIR BIN_DIR GENERATED_DIR
//
// Every source is checked before anything is written; when one of them would
// not load in the game, each fault is printed as "content/FILE:LINE: error: ..."
// and the program exits with 1, leaving the data set as it was. The output is
// the same, byte for byte, on every run. bin/txt/abm.dat (the player's album)
// is never touched.

#include "content.h"
#include "cries.h"
#include "icon.h"
#include "midi.h"
#include "pictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>

using namespace datagen;

namespace {

// The icon at the sizes of the desktop's icon theme, as icons/<n>x<n>.png under
// the generated folder; the window's own is the 32 × 32 one.
constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The texts of the data set: where each comes from, where it goes, and how it
// is checked. More kinds of files (pictures, cries, music, descriptions) join
// the data set as tables of their own.
struct TextKind
{
    const char *source;                      // under content/
    const char *output;                      // under bin/
    Issues (*check)(const QStringList &lines);
};

constexpr TextKind kTexts[] = {
    {"txt/name.txt", "txt/name.dat", checkNames},
    {"txt/opn.txt", "txt/opn.dat", checkStory},
    {"txt/goodend.txt", "txt/goodend.dat", checkStory},
    {"txt/badend.txt", "txt/badend.dat", checkStory},
};

// What each creature, keys 00 to 29, has: a few lines about it and its
// picture. "%1" in a path stands for the key.
constexpr TextKind kCreatureTexts[] = {
    {"txt/%1.txt", "txt/%1.dat", checkDescription},
};

// A source under content/ and what it becomes under bin/ (for a picture, in the
// creature's own format).
struct SourceKind
{
    const char *source;
    const char *output;
};

constexpr SourceKind kCreaturePictures[] = {
    {"img/%1.svg", "img/%1.dat"},
};

// A path of a table, for the creature with `key` ("%1" in it), if any.
QString pathFor(const char *path, const QString &key)
{
    const QString text = QString::fromLatin1(path);
    return key.isEmpty() ? text : text.arg(key);
}

// Folders of the runnable game that are filled later on.
constexpr const char *kFolders[] = {"txt", "img", "bgm"};

// The sounds: every creature's cry, synthesized from its recipe ("%1" in the
// output stands for the key), and the music that loops while the window is
// open, from its score.
constexpr SourceKind kCries = {"cries.txt", "bgm/%1.wav"};
constexpr SourceKind kMusic = {"music/bgm.txt", "bgm/bgm.mid"};

struct Output
{
    QString path;
    QByteArray bytes;
};

void say(const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fputs(bytes.constData(), stderr);
}

class Generator
{
public:
    Generator(const QString &contentDir, const QString &binDir, const QString &generatedDir)
        : m_content(contentDir), m_bin(binDir), m_generated(generatedDir)
    {
    }

    int run()
    {
        if (!codePageAvailable()) {
            say(QStringLiteral("shashin-datagen: error: this Qt cannot write code page 932 (windows-31j)"));
            return 1;
        }
        for (const TextKind &kind : kTexts)
            addText(kind);
        for (int creature = 0; creature < kCreatureCount; ++creature) {
            for (const TextKind &kind : kCreatureTexts)
                addText(kind, creatureKey(creature));
            for (const SourceKind &kind : kCreaturePictures)
                addPicture(kind, creature);
        }
        addIcon();
        addCries(kCries);
        addMusic(kMusic);

        if (m_faults > 0) {
            say(QStringLiteral("shashin-datagen: %1 fault(s) in %2; the data set was not written")
                    .arg(m_faults)
                    .arg(shown(QString())));
            return 1;
        }
        return write() ? 0 : 1;
    }

private:
    // A source's path as printed: "content/txt/name.txt".
    QString shown(const QString &relative) const
    {
        const QString dir = m_content.dirName();
        return relative.isEmpty() ? dir + QLatin1Char('/') : dir + QLatin1Char('/') + relative;
    }

    void report(const QString &relative, Issues issues)
    {
        std::stable_sort(issues.begin(), issues.end(),
                         [](const Issue &a, const Issue &b) { return a.line < b.line; });
        for (const Issue &issue : issues) {
            const QString where = issue.line > 0 ? shown(relative) + QLatin1Char(':') + QString::number(issue.line)
                                                 : shown(relative);
            say(where + QStringLiteral(": error: ") + issue.message);
        }
        m_faults += int(issues.size());
    }

    bool read(const QString &relative, QByteArray &bytes)
    {
        QFile file(m_content.filePath(relative));
        if (!file.open(QIODevice::ReadOnly)) {
            report(relative, {{0, QStringLiteral("cannot be read: %1").arg(file.errorString())}});
            return false;
        }
        bytes = file.readAll();
        return true;
    }

    void addText(const TextKind &kind, const QString &key = QString())
    {
        const QString relative = pathFor(kind.source, key);
        QByteArray bytes;
        if (!read(relative, bytes))
            return;
        const TextSource source = splitText(bytes);
        Issues issues = source.issues;
        // A line that is not even UTF-8 has been reported once; it is not
        // blamed a second time for the replacement characters it decoded to.
        QList<int> unreadable;
        for (const Issue &issue : source.issues)
            unreadable.append(issue.line);
        for (const Issue &issue : checkCodePage(source.lines)) {
            if (!unreadable.contains(issue.line))
                issues.append(issue);
        }
        issues += kind.check(source.lines);
        if (!issues.isEmpty()) {
            report(relative, issues);
            return;
        }
        m_outputs.append({m_bin.filePath(pathFor(kind.output, key)), encodeText(source.lines)});
    }

    void addPicture(const SourceKind &kind, int creature)
    {
        const QString key = creatureKey(creature);
        const QString relative = pathFor(kind.source, key);
        QByteArray svg;
        if (!read(relative, svg))
            return;
        Issues issues;
        const QByteArray picture = renderPicture(svg, kPictureSize, pictureFormat(creature), issues);
        if (!issues.isEmpty()) {
            report(relative, issues);
            return;
        }
        m_outputs.append({m_bin.filePath(pathFor(kind.output, key)), picture});
    }

    // A UTF-8 text source cut into lines, or nothing after reporting why not.
    bool readLines(const QString &relative, QStringList &lines)
    {
        QByteArray bytes;
        if (!read(relative, bytes))
            return false;
        const TextSource source = splitText(bytes);
        if (!source.issues.isEmpty()) {
            report(relative, source.issues);
            return false;
        }
        lines = source.lines;
        return true;
    }

    void addCries(const SourceKind &kind)
    {
        const QString relative = QString::fromLatin1(kind.source);
        QStringList lines;
        if (!readLines(relative, lines))
            return;
        Issues issues;
        const QList<CryRecipe> recipes = parseCries(lines, issues);
        if (!issues.isEmpty()) {
            report(relative, issues);
            return;
        }
        for (const CryRecipe &recipe : recipes) {
            const QString key = QStringLiteral("%1").arg(recipe.key, 2, 10, QLatin1Char('0'));
            m_outputs.append({m_bin.filePath(QString::fromLatin1(kind.output).arg(key)), renderCry(recipe)});
        }
    }

    void addMusic(const SourceKind &kind)
    {
        const QString relative = QString::fromLatin1(kind.source);
        QStringList lines;
        if (!readLines(relative, lines))
            return;
        Issues issues;
        const Song song = parseScore(lines, issues);
        if (!issues.isEmpty()) {
            report(relative, issues);
            return;
        }
        m_outputs.append({m_bin.filePath(QString::fromLatin1(kind.output)), writeMidi(song)});
    }

    void addIcon()
    {
        const QString relative = QStringLiteral("icon.svg");
        QByteArray svg;
        if (!read(relative, svg))
            return;
        for (const int size : kIconSizes) {
            Issues issues;
            const QByteArray png = renderIcon(svg, size, issues);
            if (!issues.isEmpty()) {
                report(relative, issues);
                return;
            }
            m_outputs.append({m_generated.filePath(QStringLiteral("icons/%1x%1.png").arg(size)), png});
        }
    }

    bool write()
    {
        QStringList folders;
        for (const char *folder : kFolders)
            folders.append(m_bin.filePath(QString::fromLatin1(folder)));
        folders.append(m_generated.path());
        for (const QString &folder : folders) {
            if (!QDir().mkpath(folder)) {
                say(QStringLiteral("%1: error: cannot make the folder").arg(folder));
                return false;
            }
        }
        for (const Output &output : m_outputs) {
            QDir().mkpath(QFileInfo(output.path).path());
            QSaveFile file(output.path);
            if (!file.open(QIODevice::WriteOnly) || file.write(output.bytes) != output.bytes.size()
                || !file.commit()) {
                say(QStringLiteral("%1: error: cannot be written: %2").arg(output.path, file.errorString()));
                return false;
            }
        }
        return true;
    }

    QDir m_content;
    QDir m_bin;
    QDir m_generated;
    QList<Output> m_outputs;
    int m_faults = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    // Drawings are rendered on a QGuiApplication (text in a drawing needs its
    // fonts), without any screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = app.arguments();
    if (args.size() != 4) {
        say(QStringLiteral("usage: shashin-datagen CONTENT_DIR BIN_DIR GENERATED_DIR"));
        return 2;
    }
    return Generator(args.at(1), args.at(2), args.at(3)).run();
}
