#include "core/gamefolders.h"
#include "platform/quitsignals.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// What the program decides before the window exists: where its data set and
// album are, and that the signals asking it to end reach its event loop.
class TestLaunch : public QObject
{
    Q_OBJECT

private slots:
    void layoutRule_data();
    void layoutRule();
    void quitSignalsReachTheLoop();
};

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

void TestLaunch::layoutRule_data()
{
    // Files under a prefix that also holds an installed data set; the executable is in prefix/bin.
    QTest::addColumn<QStringList>("beside");
    QTest::addColumn<bool>("txtWritable");
    QTest::addColumn<QString>("dataDir");
    QTest::addColumn<QString>("albumPath");
    QTest::addColumn<QString>("startingFrom");

    QTest::newRow("portable") << QStringList{"txt/name.dat"} << true << "bin" << "bin/txt/abm.dat" << "";
    QTest::newRow("portable, txt/ read-only") << QStringList{"txt/name.dat", "txt/abm.dat"} << false << "bin"
                                              << "player/abm.dat" << "bin/txt/abm.dat";
    QTest::newRow("installed") << QStringList{} << true << "share/shashin" << "player/abm.dat" << "";
    QTest::newRow("only an album beside")
        << QStringList{"txt/abm.dat"} << true << "share/shashin" << "player/abm.dat" << "";
}

void TestLaunch::layoutRule()
{
    QFETCH(QStringList, beside);
    QFETCH(bool, txtWritable);
    QFETCH(QString, dataDir);
    QFETCH(QString, albumPath);
    QFETCH(QString, startingFrom);

    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    const QDir root(prefix.path());
    QVERIFY(root.mkpath(QStringLiteral("bin")));
    touch(root.filePath(QStringLiteral("share/shashin/txt/name.dat")));
    for (const QString &file : beside)
        touch(root.filePath(QStringLiteral("bin/") + file));

    const auto writable = [&](const QString &folder) {
        return QDir(folder) == QDir(root.filePath(QStringLiteral("bin/txt"))) ? txtWritable : true;
    };
    const GameFolders folders = gameFolders(root.filePath(QStringLiteral("bin")),
                                            root.filePath(QStringLiteral("player")), writable);
    QCOMPARE(QDir::cleanPath(folders.dataDir), root.filePath(dataDir));
    QCOMPARE(QDir::cleanPath(folders.albumPath), root.filePath(albumPath));
    QCOMPARE(folders.startingAlbumPath.isEmpty() ? QString() : QDir::cleanPath(folders.startingAlbumPath),
             startingFrom.isEmpty() ? QString() : root.filePath(startingFrom));
}

void TestLaunch::quitSignalsReachTheLoop()
{
    QuitSignals quitSignals;
    QVERIFY(quitSignals.isActive());
    QSignalSpy received(&quitSignals, &QuitSignals::received);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        received.clear();
        QVERIFY(std::raise(signal) == 0);
        QCOMPARE(received.count(), 0);  // not from inside the handler
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toInt(), signal);
    }
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
