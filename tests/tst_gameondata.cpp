#include "core/fom.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "support/datafiles.h"
#include "support/gamefixture.h"

#include <QDirIterator>
#include <QTest>

// The game on the data set the build wrote: a copy of it, so that the player's
// own album beside the built game is never touched.
class TestGameOnData : public QObject
{
    Q_OBJECT

private slots:
    void startsAndShowsEveryCreature();
};

void TestGameOnData::startsAndShowsEveryCreature()
{
    GameFixture game;
    const QString bin = datafiles::binPath(QString());
    for (const char *folder : {"txt", "img", "bgm"}) {
        QDirIterator files(bin + QLatin1String(folder), QDir::Files);
        while (files.hasNext()) {
            const QString name = QFileInfo(files.next()).fileName();
            if (name != u"abm.dat")
                game.writeBytes(QLatin1String(folder) + u'/' + name, datafiles::readAll(files.filePath()));
        }
    }
    game.start();
    Fom &w = game.window();
    QVERIFY(game.messages.shown.isEmpty());
    const QStringList names = datafiles::sourceLines(QStringLiteral("txt/name.txt"));
    QCOMPARE(names.size(), Fom::kKinds);
    for (int kind = 0; kind < Fom::kKinds; ++kind)
        QCOMPARE(w.BeastName[kind], names[kind]);
    // The opening's first page is up, as written.
    const QStringList opening = datafiles::sourceLines(QStringLiteral("txt/opn.txt"));
    QVERIFY(w.Lbl->caption().startsWith(QStringLiteral("\r\n") + opening.first() + QStringLiteral("\r\n")));

    w.ComNext_MouseDown(2);
    for (int kind = 0; kind < Fom::kKinds; ++kind) {
        w.Lst[2]->addRow(w.BeastName[kind]);
        w.Lst[3]->addRow(datafiles::key(kind));
    }
    for (int kind = 0; kind < Fom::kKinds; ++kind) {
        w.Lst[2]->setListIndex(kind);
        QVERIFY(w.BakSee->isVisible());
        QCOMPARE(w.E->picture().size(), QSize(256, 256));
        QVERIFY(!w.Pic->surface().isNull());
        QVERIFY2(qAlpha(w.Pic->surface().pixel(w.Pic->surface().width() / 2, w.Pic->surface().height() / 2)) == 255,
                 qPrintable(datafiles::key(kind)));
        const QStringList description = datafiles::sourceLines(QStringLiteral("txt/%1.txt").arg(datafiles::key(kind)));
        QCOMPARE(w.LblSee->caption(), QStringLiteral("\r\n") + description.join(QStringLiteral("\r\n")));
        QCOMPARE(w.NowBeast, datafiles::key(kind));
    }
}

QTEST_MAIN(TestGameOnData)
#include "tst_gameondata.moc"
