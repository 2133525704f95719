#include "core/fom.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "support/gamefixture.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The data set the build writes beside the game, as the game and the player
// meet it: texts in code page 932 with CR LF, and a name, a picture and a
// description for each of the thirty creatures; and the generator's word on a
// broken source.
namespace {

QString built(const QString &relative)
{
    return QStringLiteral(SHASHIN_BIN_DIR "/") + relative;
}

// A source as written in content/: UTF-8 lines.
QStringList written(const QString &relative)
{
    QFile file(QStringLiteral(SHASHIN_SOURCE_DIR "/content/") + relative);
    QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.split(u'\n');
}

QString key(int kind)
{
    return QStringLiteral("%1").arg(kind, 2, 10, QLatin1Char('0'));
}

} // namespace

class TestDataset : public QObject
{
    Q_OBJECT

private slots:
    void generatorNamesTheLine_data();
    void generatorNamesTheLine();
    void gameShowsEveryCreature();
};

void TestDataset::generatorNamesTheLine_data()
{
    // A source's first line starting with `prefix` becomes `line`.
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("what");
    QTest::newRow("a name with a comma") << "txt/name.txt" << "" << "生き,物" << "\"生き,物\" contains \",\"";
    QTest::newRow("no code page 932 form") << "txt/00.txt" << "" << "😀" << "\"😀\" (U+1F600), character 1";
    QTest::newRow("a tempo not a number") << "music/bgm.txt" << "tempo " << "tempo x"
                                          << "the tempo is a whole number from 20 to 300, not \"x\"";
}

void TestDataset::generatorNamesTheLine()
{
    QFETCH(QString, source);
    QFETCH(QString, prefix);
    QFETCH(QString, line);
    QFETCH(QString, what);
    const QTemporaryDir work;
    const QString content = work.filePath(QStringLiteral("content"));
    const QStringList copy{QStringLiteral("-R"), QStringLiteral(SHASHIN_SOURCE_DIR "/content"), content};
    QCOMPARE(QProcess::execute(QStringLiteral("cp"), copy), 0);
    QStringList lines = written(source);
    const qsizetype at = lines.indexOf(QRegularExpression(QRegularExpression::escape(prefix) + QStringLiteral(".*")));
    QVERIFY(at >= 0);
    lines[at] = line;
    QFile file(content + u'/' + source);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write((lines.join(u'\n') + u'\n').toUtf8()) > 0);
    file.close();

    QProcess generator;
    generator.start(QStringLiteral(SHASHIN_DATAGEN),
                    {content, work.filePath(QStringLiteral("bin")), work.filePath(QStringLiteral("generated"))});
    QVERIFY(generator.waitForFinished(120000));
    const QString said = QString::fromUtf8(generator.readAllStandardError());
    QCOMPARE(generator.exitCode(), 1);
    QVERIFY2(said.contains(QStringLiteral("content/%1:%2: error: %3").arg(source).arg(at + 1).arg(what)), qPrintable(said));
    QVERIFY2(!QFileInfo::exists(work.filePath(QStringLiteral("bin/txt/name.dat"))), "the data set was written");
}

void TestDataset::gameShowsEveryCreature()
{
    GameFixture game;  // a copy: the player's album beside the built game is not the test's
    const QStringList copy{QStringLiteral("-R"), built(QStringLiteral("txt")), built(QStringLiteral("img")),
                           built(QStringLiteral("bgm")), game.dir()};
    QCOMPARE(QProcess::execute(QStringLiteral("cp"), copy), 0);
    for (const QString &album : QDir(game.path(QStringLiteral("txt"))).entryList({QStringLiteral("abm.dat*")}))
        game.remove(QStringLiteral("txt/") + album);
    // Every text in code page 932 (the game's readings below) and each line ended by CR LF.
    for (const QString &text : QDir(game.path(QStringLiteral("txt"))).entryList({QStringLiteral("*.dat")})) {
        const QByteArray bytes = game.readBytes(QStringLiteral("txt/") + text);
        QVERIFY2(bytes.endsWith("\r\n") && bytes.count('\n') == bytes.count("\r\n"), qPrintable(text));
    }
    game.start();
    Fom &w = game.window();
    QVERIFY(game.messages.shown.isEmpty());
    QCOMPARE(w.Lbl->caption().section(QStringLiteral("\r\n"), 1, 1), written(QStringLiteral("txt/opn.txt")).first());
    w.ComNext_MouseDown(2);
    for (int kind = 0; kind < Fom::kKinds; ++kind) {
        QCOMPARE(w.BeastName[kind], written(QStringLiteral("txt/name.txt")).at(kind));
        w.Lst[2]->addRow(w.BeastName[kind]);
        w.Lst[3]->addRow(key(kind));
        w.Lst[2]->setListIndex(kind);
        const QImage seen = w.Pic->grab().toImage();
        QVERIFY2(seen.pixelColor(seen.width() / 2, seen.height() / 2) != QColor(Qt::black), qPrintable(key(kind)));
        QCOMPARE(w.LblSee->caption(), QStringLiteral("\r\n") + written(QStringLiteral("txt/%1.txt").arg(key(kind))).join(u"\r\n"));
    }
}

QTEST_MAIN(TestDataset)
#include "tst_dataset.moc"
