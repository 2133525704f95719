// The data set the build writes beside the game: texts the game can read back,
// in code page 932 with CR LF line ends, and stories that show all their pages.

#include "support/datafiles.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>

using namespace datafiles;

namespace {


// How the game pages through a story: lines gather into a page until an empty
// line, and that page is shown when more text follows the empty line.
struct Paging
{
    QList<QStringList> shown;
    QStringList unshown; // lines after the last shown page
};

Paging page(const QStringList &lines)
{
    Paging paging;
    QStringList current;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines.at(i).isEmpty()) {
            current.append(lines.at(i));
            continue;
        }
        if (i + 1 < lines.size())
            paging.shown.append(current);
        else
            paging.unshown += current;
        current.clear();
    }
    paging.unshown += current;
    return paging;
}

} // namespace

class TestDataset : public QObject
{
    Q_OBJECT

private slots:
    void namesAreCodePage932();
    void thirtyNamesOneALine();
    void namesAreTheWrittenOnes();
    void story_data();
    void story();
    void foldersForLaterFiles();
};

void TestDataset::namesAreCodePage932()
{
    const QByteArray bytes = readAll(binPath(QStringLiteral("txt/name.dat")));
    QVERIFY2(!bytes.isEmpty(), "txt/name.dat is missing or empty");

    bool exact = false;
    const QString text = decodeExactly(bytes, &exact);
    QVERIFY2(exact, "txt/name.dat is not code page 932");

    // Not UTF-8 by mistake: the names are Japanese, so their UTF-8 form differs.
    QVERIFY(text.toUtf8() != bytes);
}

void TestDataset::thirtyNamesOneALine()
{
    const QByteArray bytes = readAll(binPath(QStringLiteral("txt/name.dat")));
    QString why;
    const QList<QByteArray> raw = crlfLines(bytes, &why);
    QVERIFY2(!raw.isEmpty(), qPrintable(why));
    QCOMPARE(raw.size(), 30);

    const QStringList names = decodeLines(raw);
    QSet<QString> seen;
    for (qsizetype key = 0; key < names.size(); ++key) {
        const QString &name = names.at(key);
        const QByteArray where = QStringLiteral("creature %1").arg(key, 2, 10, QLatin1Char('0')).toUtf8();
        QVERIFY2(!name.trimmed().isEmpty(), where.constData());
        QVERIFY2(!name.contains(QLatin1Char(',')), where.constData());
        QVERIFY2(!seen.contains(name), (where + " has the name of another creature").constData());
        seen.insert(name);
    }
}

void TestDataset::namesAreTheWrittenOnes()
{
    const QStringList written = sourceLines(QStringLiteral("txt/name.txt"));
    QString why;
    const QStringList names = decodeLines(crlfLines(readAll(binPath(QStringLiteral("txt/name.dat"))), &why));
    QVERIFY2(!names.isEmpty(), qPrintable(why));
    QCOMPARE(names, written);
}

void TestDataset::story_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("untrue");  // words the text must not say
    QTest::newRow("opening") << QStringLiteral("opn") << QString();
    // It plays from exactly 5000円 on: "more than 5000" would be untrue there.
    QTest::newRow("good ending") << QStringLiteral("goodend") << QStringLiteral("超え");
    QTest::newRow("bad ending") << QStringLiteral("badend") << QString();
}

void TestDataset::story()
{
    QFETCH(QString, name);
    QFETCH(QString, untrue);
    const QByteArray bytes = readAll(binPath(QStringLiteral("txt/%1.dat").arg(name)));
    QVERIFY2(!bytes.isEmpty(), "the story is missing or empty");

    bool exact = false;
    decodeExactly(bytes, &exact);
    QVERIFY2(exact, "not code page 932");

    QString why;
    const QList<QByteArray> raw = crlfLines(bytes, &why);
    QVERIFY2(!raw.isEmpty(), qPrintable(why));
    const QStringList lines = decodeLines(raw);
    QCOMPARE(lines, sourceLines(QStringLiteral("txt/%1.txt").arg(name)));
    QVERIFY(untrue.isEmpty() || !lines.join(QString()).contains(untrue));

    const Paging paging = page(lines);
    QVERIFY2(paging.shown.size() >= 4, qPrintable(QStringLiteral("%1 pages shown").arg(paging.shown.size())));
    for (qsizetype i = 0; i < paging.shown.size(); ++i) {
        const QStringList &shown = paging.shown.at(i);
        const QByteArray where = QStringLiteral("page %1").arg(i + 1).toUtf8();
        QVERIFY2(!shown.isEmpty(), (where + " is empty: two empty lines in a row").constData());
        QVERIFY2(shown.size() <= 8, (where + " is longer than 8 lines").constData());
    }
    // The story ends with its last page, an empty line and exactly one more
    // line, which is never shown; so no written page is lost.
    QCOMPARE(paging.unshown.size(), 1);
    QVERIFY(lines.size() >= 3);
    QVERIFY(lines.at(lines.size() - 2).isEmpty());
    QVERIFY(!lines.at(lines.size() - 3).isEmpty());
}

void TestDataset::foldersForLaterFiles()
{
    for (const char *folder : {"txt", "img", "bgm"}) {
        QVERIFY2(QDir(binPath(QString::fromLatin1(folder))).exists(), folder);
    }
}

QTEST_GUILESS_MAIN(TestDataset)
#include "tst_dataset.moc"
