#include "platform/textfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readRaw(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

} // namespace

class TestTextFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void lineEnds_data();
    void lineEnds();
    void writtenJapaneseIsCodePage932OnDisk();
    void readingPastTheEndFails();
    void missingFileDoesNotOpen();
    void folderDoesNotOpenForReading();
    void twoNumbersOpenAtOnce();
    void numberAlreadyOpenIsRefused();
    void numbersBelowOneAreRefused();
    void nextFreeIsLowestUnused();
    void closingANumberNotOpenIsNoError();
    void notOpenNumbers();
    void wrongDirectionFails();
    void replacementIsAtomic();
    void newFileAppearsOnlyAtClose();
    void writeIntoMissingFolderFails();
    void failedCommitLeavesOldInPlace();
    void unclosedWriteIsDiscarded();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestTextFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestTextFiles::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("crlf") << QByteArray("abc\r\ndef\r\n") << QStringList{"abc", "def"};
    QTest::newRow("lone cr") << QByteArray("abc\rdef\r") << QStringList{"abc", "def"};
    QTest::newRow("lone lf") << QByteArray("abc\ndef\n") << QStringList{"abc", "def"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd\r\n") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("lf then cr is two ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("cr cr lf") << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("no last terminator") << QByteArray("abc\r\ndef") << QStringList{"abc", "def"};
    QTest::newRow("single line, no terminator") << QByteArray("abc") << QStringList{"abc"};
    QTest::newRow("one crlf") << QByteArray("abc\r\n") << QStringList{"abc"};
    QTest::newRow("trailing empty line") << QByteArray("abc\r\n\r\n") << QStringList{"abc", ""};
    QTest::newRow("leading empty lines") << QByteArray("\r\n\r\nx") << QStringList{"", "", "x"};
    QTest::newRow("only crlf") << QByteArray("\r\n") << QStringList{""};
    QTest::newRow("only cr") << QByteArray("\r") << QStringList{""};
    QTest::newRow("trailing cr at the very end") << QByteArray("abc\r\ndef\r") << QStringList{"abc", "def"};
    QTest::newRow("japanese, each line decoded")
        << QByteArray("\x90\x58,00\r\n\x8e\xca\x90\x5e\n\x95\x5c")
        << QStringList{QStringLiteral("森,00"), QStringLiteral("写真"), QStringLiteral("表")};
}

void TestTextFiles::lineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);

    const QString file = path("lines.txt");
    QVERIFY(writeRaw(file, bytes));

    TextFiles files;
    QVERIFY(files.openForReading(1, file));
    for (const QString &expected : lines) {
        QVERIFY2(!files.atEnd(1), qPrintable("at end before " + expected));
        QString line = QStringLiteral("<untouched>");
        QVERIFY(files.readLine(1, line));
        QCOMPARE(line, expected);
    }
    QVERIFY(files.atEnd(1));
    QString line;
    QVERIFY(!files.readLine(1, line));
    QVERIFY(files.close(1));
}

void TestTextFiles::writtenJapaneseIsCodePage932OnDisk()
{
    const QString file = path("save.txt");
    const QStringList lines{QStringLiteral("森,00"), QStringLiteral("写真"), QString(),
                            QStringLiteral("ｼｬｼﾝ"), QStringLiteral("表")};
    TextFiles files;
    QVERIFY(files.openForWriting(1, file));
    for (const QString &line : lines)
        QVERIFY(files.writeLine(1, line));
    QVERIFY(files.close(1));

    QCOMPARE(readRaw(file).toHex(' '),
             QByteArray("\x90\x58,00\r\n\x8e\xca\x90\x5e\r\n\r\n\xbc\xac\xbc\xdd\r\n\x95\x5c\r\n").toHex(' '));

    QVERIFY(files.openForReading(1, file));
    QStringList read;
    QString line;
    while (!files.atEnd(1)) {
        QVERIFY(files.readLine(1, line));
        read << line;
    }
    QCOMPARE(read, lines);
    QVERIFY(files.close(1));
}

void TestTextFiles::readingPastTheEndFails()
{
    const QString file = path("two.txt");
    QVERIFY(writeRaw(file, "one\r\ntwo\r\n"));
    TextFiles files;
    QVERIFY(files.openForReading(3, file));
    QString line;
    QVERIFY(files.readLine(3, line));
    QVERIFY(files.readLine(3, line));
    QCOMPARE(line, QStringLiteral("two"));
    for (int i = 0; i < 3; ++i) {
        line = QStringLiteral("kept");
        QVERIFY(!files.readLine(3, line));
        QVERIFY(files.atEnd(3));
    }
    QVERIFY(files.isOpen(3));
}

void TestTextFiles::missingFileDoesNotOpen()
{
    TextFiles files;
    QVERIFY(!files.openForReading(1, path("nowhere.txt")));
    QVERIFY(!files.isOpen(1));
    QCOMPARE(files.nextFree(), 1);
    QString line;
    QVERIFY(!files.readLine(1, line));
}

void TestTextFiles::folderDoesNotOpenForReading()
{
    QVERIFY(QDir(m_dir->path()).mkdir("folder"));
    TextFiles files;
    QVERIFY(!files.openForReading(1, path("folder")));
    QVERIFY(!files.isOpen(1));
}

void TestTextFiles::twoNumbersOpenAtOnce()
{
    QVERIFY(writeRaw(path("a.txt"), "a1\r\na2\r\n"));
    QVERIFY(writeRaw(path("b.txt"), "b1\r\nb2\r\nb3\r\n"));
    TextFiles files;
    QVERIFY(files.openForReading(1, path("a.txt")));
    QVERIFY(files.openForReading(2, path("b.txt")));
    QVERIFY(files.openForWriting(3, path("c.txt")));

    QString line;
    QVERIFY(files.readLine(2, line));
    QCOMPARE(line, QStringLiteral("b1"));
    QVERIFY(files.readLine(1, line));
    QCOMPARE(line, QStringLiteral("a1"));
    QVERIFY(files.writeLine(3, line));
    QVERIFY(files.readLine(1, line));
    QCOMPARE(line, QStringLiteral("a2"));
    QVERIFY(files.atEnd(1));
    QVERIFY(!files.atEnd(2));
    QVERIFY(files.readLine(2, line));
    QCOMPARE(line, QStringLiteral("b2"));
    QVERIFY(files.writeLine(3, line));

    QVERIFY(files.close(1));
    QVERIFY(!files.isOpen(1));
    QVERIFY(files.isOpen(2));
    QVERIFY(files.readLine(2, line));
    QCOMPARE(line, QStringLiteral("b3"));
    QVERIFY(files.close(2));
    QVERIFY(files.close(3));
    QCOMPARE(readRaw(path("c.txt")), QByteArray("a1\r\nb2\r\n"));
}

void TestTextFiles::numberAlreadyOpenIsRefused()
{
    QVERIFY(writeRaw(path("a.txt"), "first\r\n"));
    QVERIFY(writeRaw(path("b.txt"), "other\r\n"));
    TextFiles files;
    QVERIFY(files.openForReading(1, path("a.txt")));
    QVERIFY(!files.openForReading(1, path("b.txt")));
    QVERIFY(!files.openForWriting(1, path("c.txt")));
    QVERIFY(!QFile::exists(path("c.txt")));
    // The file already under that number is undisturbed.
    QString line;
    QVERIFY(files.readLine(1, line));
    QCOMPARE(line, QStringLiteral("first"));
}

void TestTextFiles::numbersBelowOneAreRefused()
{
    QVERIFY(writeRaw(path("a.txt"), "x\r\n"));
    TextFiles files;
    QVERIFY(!files.openForReading(0, path("a.txt")));
    QVERIFY(!files.openForReading(-1, path("a.txt")));
    QVERIFY(!files.openForWriting(0, path("b.txt")));
    QVERIFY(!files.isOpen(0));
    QCOMPARE(files.nextFree(), 1);
}

void TestTextFiles::nextFreeIsLowestUnused()
{
    QVERIFY(writeRaw(path("a.txt"), "x\r\n"));
    TextFiles files;
    QCOMPARE(files.nextFree(), 1);
    QVERIFY(files.openForReading(files.nextFree(), path("a.txt")));
    QCOMPARE(files.nextFree(), 2);
    QVERIFY(files.openForReading(files.nextFree(), path("a.txt")));
    QVERIFY(files.openForWriting(files.nextFree(), path("b.txt")));
    QCOMPARE(files.nextFree(), 4);
    QVERIFY(files.close(2));
    QCOMPARE(files.nextFree(), 2);
    QVERIFY(files.close(1));
    QCOMPARE(files.nextFree(), 1);
    QVERIFY(files.openForReading(1, path("a.txt")));
    QCOMPARE(files.nextFree(), 2);
    QVERIFY(files.openForReading(7, path("a.txt")));
    QCOMPARE(files.nextFree(), 2);
}

void TestTextFiles::closingANumberNotOpenIsNoError()
{
    TextFiles files;
    QVERIFY(files.close(1));
    QVERIFY(files.close(42));
    QVERIFY(writeRaw(path("a.txt"), "x\r\n"));
    QVERIFY(files.openForReading(1, path("a.txt")));
    QVERIFY(files.close(1));
    QVERIFY(files.close(1));
    QVERIFY(!files.isOpen(1));
}

void TestTextFiles::notOpenNumbers()
{
    TextFiles files;
    QVERIFY(files.atEnd(1));
    QVERIFY(!files.isOpen(1));
    QString line = QStringLiteral("kept");
    QVERIFY(!files.readLine(1, line));
    QCOMPARE(line, QStringLiteral("kept"));
    QVERIFY(!files.writeLine(1, QStringLiteral("x")));
}

void TestTextFiles::wrongDirectionFails()
{
    QVERIFY(writeRaw(path("in.txt"), "x\r\n"));
    TextFiles files;
    QVERIFY(files.openForReading(1, path("in.txt")));
    QVERIFY(files.openForWriting(2, path("out.txt")));
    QVERIFY(!files.writeLine(1, QStringLiteral("y")));
    QString line;
    QVERIFY(!files.readLine(2, line));
    QVERIFY(files.close(1));
    QVERIFY(files.close(2));
    QCOMPARE(readRaw(path("in.txt")), QByteArray("x\r\n"));
    QCOMPARE(readRaw(path("out.txt")), QByteArray());
}

void TestTextFiles::replacementIsAtomic()
{
    const QString file = path("save.txt");
    QVERIFY(writeRaw(file, "old\r\n"));
    TextFiles files;
    QVERIFY(files.openForWriting(1, file));
    QVERIFY(files.writeLine(1, QStringLiteral("new")));
    QVERIFY(files.writeLine(1, QStringLiteral("森")));
    QCOMPARE(readRaw(file), QByteArray("old\r\n"));
    QVERIFY(files.close(1));
    QCOMPARE(readRaw(file), QByteArray("new\r\n\x90\x58\r\n"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"save.txt"});
}

void TestTextFiles::newFileAppearsOnlyAtClose()
{
    const QString file = path("fresh.txt");
    TextFiles files;
    QVERIFY(files.openForWriting(1, file));
    QVERIFY(files.writeLine(1, QStringLiteral("line")));
    QVERIFY(!QFile::exists(file));
    QVERIFY(files.close(1));
    QCOMPARE(readRaw(file), QByteArray("line\r\n"));
}

void TestTextFiles::writeIntoMissingFolderFails()
{
    const QString file = path("missing/deeper/save.txt");
    TextFiles files;
    const bool opened = files.openForWriting(1, file);
    if (opened) {
        files.writeLine(1, QStringLiteral("x"));
        QVERIFY(!files.close(1));
    }
    QVERIFY(!files.isOpen(1));
    QVERIFY(!QFile::exists(file));
}

void TestTextFiles::failedCommitLeavesOldInPlace()
{
    // A folder appearing at the target between open and close makes the final
    // rename fail, whoever runs the test.
    const QString target = path("save.txt");
    TextFiles files;
    QVERIFY(files.openForWriting(1, target));
    QVERIFY(files.writeLine(1, QStringLiteral("new")));
    QVERIFY(QDir(m_dir->path()).mkpath("save.txt/inside"));
    QVERIFY(!files.close(1));
    QVERIFY(!files.isOpen(1));
    QVERIFY(QFileInfo(target).isDir());
    QVERIFY(QFileInfo(path("save.txt/inside")).isDir());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"save.txt"});
}

void TestTextFiles::unclosedWriteIsDiscarded()
{
    const QString file = path("save.txt");
    QVERIFY(writeRaw(file, "old\r\n"));
    {
        TextFiles files;
        QVERIFY(files.openForWriting(1, file));
        QVERIFY(files.writeLine(1, QStringLiteral("new")));
    }
    QCOMPARE(readRaw(file), QByteArray("old\r\n"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"save.txt"});
}

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
