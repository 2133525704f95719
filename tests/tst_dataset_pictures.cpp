// The creatures' pictures and descriptions the build writes beside the game:
// every picture is an image the game can read by its content alone, whatever
// the ".dat" name says, and every description is code page 932 text with
// CR LF line ends, a few short lines long.

#include "support/datafiles.h"

#include <QHash>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QTest>

using namespace datafiles;

namespace {

constexpr int kCreatures = 30;
constexpr int kMinLines = 3;
constexpr int kMaxLines = 6;

// The picture as the game reads it: by what is in the file, not by its name.
struct Picture
{
    QImage image;
    QByteArray format;
    QString error;
};

Picture readPicture(int creature)
{
    QImageReader reader(binPath(QStringLiteral("img/%1.dat").arg(key(creature))));
    reader.setDecideFormatFromContent(true);
    Picture picture;
    picture.format = reader.format();
    picture.image = reader.read();
    if (picture.image.isNull())
        picture.error = reader.errorString();
    return picture;
}

// The share of pixels, 0 to 1, that differ clearly between two pictures of the
// same size.
double differingShare(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    qint64 differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const QRgb *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column) {
            const int d = qAbs(qRed(p[column]) - qRed(q[column])) + qAbs(qGreen(p[column]) - qGreen(q[column]))
                          + qAbs(qBlue(p[column]) - qBlue(q[column]));
            if (d > 48)
                ++differing;
        }
    }
    return double(differing) / (double(x.width()) * x.height());
}

} // namespace

class TestDatasetPictures : public QObject
{
    Q_OBJECT

private slots:
    void picture_data();
    void picture();
    void picturesComeInSeveralFormats();
    void picturesDifferFromEachOther();
    void description_data();
    void description();
};

void TestDatasetPictures::picture_data()
{
    QTest::addColumn<int>("creature");
    for (int creature = 0; creature < kCreatures; ++creature)
        QTest::newRow(qPrintable(key(creature))) << creature;
}

void TestDatasetPictures::picture()
{
    QFETCH(int, creature);
    const Picture picture = readPicture(creature);
    QVERIFY2(!picture.image.isNull(), qPrintable(QStringLiteral("cannot be read: %1").arg(picture.error)));
    QVERIFY2(!picture.format.isEmpty(), "no image format found in the content");

    // A drawing, not a blank: a good many colours, none of them covering it all.
    const QImage image = picture.image.convertToFormat(QImage::Format_RGB32);
    QVERIFY(image.width() >= 64);
    QCOMPARE(image.width(), image.height());
    QHash<QRgb, qint64> counts;
    for (int row = 0; row < image.height(); ++row) {
        const QRgb *pixels = reinterpret_cast<const QRgb *>(image.constScanLine(row));
        for (int column = 0; column < image.width(); ++column)
            ++counts[pixels[column] & 0xFFFFFF];
    }
    QVERIFY2(counts.size() >= 32, qPrintable(QStringLiteral("only %1 colours").arg(counts.size())));
    qint64 most = 0;
    for (const qint64 count : std::as_const(counts))
        most = qMax(most, count);
    const qint64 all = qint64(image.width()) * image.height();
    QVERIFY2(most * 2 < all, "one colour covers half of the picture or more");
}

void TestDatasetPictures::picturesComeInSeveralFormats()
{
    QSet<QByteArray> formats;
    for (int creature = 0; creature < kCreatures; ++creature)
        formats.insert(readPicture(creature).format);
    formats.remove(QByteArray());
    QVERIFY2(formats.size() >= 2,
             qPrintable(QStringLiteral("all pictures are %1").arg(QString::fromLatin1(formats.values().value(0)))));
}

void TestDatasetPictures::picturesDifferFromEachOther()
{
    QList<QImage> images;
    for (int creature = 0; creature < kCreatures; ++creature) {
        const QImage image = readPicture(creature).image;
        QVERIFY2(!image.isNull(), qPrintable(key(creature)));
        QVERIFY2(image.width() == image.height(), qPrintable(key(creature) + QStringLiteral(" is not square")));
        images.append(image.scaledToWidth(64, Qt::SmoothTransformation));
    }
    // Not copies, nor one drawing in other colours: a good part of each picture
    // differs from every other one.
    for (int a = 0; a < kCreatures; ++a) {
        for (int b = a + 1; b < kCreatures; ++b) {
            const double share = differingShare(images.at(a), images.at(b));
            QVERIFY2(share > 0.25, qPrintable(QStringLiteral("%1 and %2 differ in only %3% of the picture")
                                                  .arg(key(a), key(b))
                                                  .arg(share * 100, 0, 'f', 1)));
        }
    }
}

void TestDatasetPictures::description_data()
{
    QTest::addColumn<int>("creature");
    for (int creature = 0; creature < kCreatures; ++creature)
        QTest::newRow(qPrintable(key(creature))) << creature;
}

void TestDatasetPictures::description()
{
    QFETCH(int, creature);
    const QByteArray bytes = readAll(binPath(QStringLiteral("txt/%1.dat").arg(key(creature))));
    QVERIFY2(!bytes.isEmpty(), "missing or empty");

    bool exact = false;
    const QString text = decodeExactly(bytes, &exact);
    QVERIFY2(exact, "not code page 932");
    QVERIFY(text.toUtf8() != bytes); // Japanese text, so not UTF-8 by mistake

    QString why;
    const QList<QByteArray> raw = crlfLines(bytes, &why);
    QVERIFY2(!raw.isEmpty(), qPrintable(why));
    QVERIFY2(raw.size() >= kMinLines && raw.size() <= kMaxLines,
             qPrintable(QStringLiteral("%1 lines").arg(raw.size())));

    for (const QByteArray &line : raw)
        QVERIFY2(!line.trimmed().isEmpty(), "an empty line");
    QCOMPARE(decodeLines(raw), sourceLines(QStringLiteral("txt/%1.txt").arg(key(creature))));
}

QTEST_MAIN(TestDatasetPictures)
#include "tst_dataset_pictures.moc"
