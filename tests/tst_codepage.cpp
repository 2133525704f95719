#include "platform/codepage.h"

#include <QTest>

class TestCodePage : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void canEncode_data();
    void canEncode();
    void unencodableTextStillEncodes();
};

void TestCodePage::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("ascii") << QStringLiteral("abc,00") << QByteArray("abc,00");
    QTest::newRow("forest") << QStringLiteral("森,00") << QByteArray("\x90\x58,00");
    QTest::newRow("photo") << QStringLiteral("写真") << QByteArray("\x8e\xca\x90\x5e");
    // Second byte 0x5C, the backslash: must not be taken for one.
    QTest::newRow("trail byte 5C") << QStringLiteral("表") << QByteArray("\x95\x5c");
    QTest::newRow("half-width kana") << QStringLiteral("ｼｬｼﾝ") << QByteArray("\xbc\xac\xbc\xdd");
    QTest::newRow("ideographic space") << QStringLiteral("\u3000") << QByteArray("\x81\x40");
    // These three tell Microsoft's table from plain Shift_JIS.
    QTest::newRow("fullwidth tilde") << QStringLiteral("\uff5e") << QByteArray("\x81\x60");
    QTest::newRow("circled one") << QStringLiteral("①") << QByteArray("\x87\x40");
    QTest::newRow("backslash and tilde") << QStringLiteral("\\~") << QByteArray("\x5c\x7e");
}

void TestCodePage::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(codepage::encode(text).toHex(' '), bytes.toHex(' '));
    QCOMPARE(codepage::decode(bytes), text);
    QVERIFY(codepage::canEncode(text));
}

void TestCodePage::canEncode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    QTest::newRow("empty") << QString() << true;
    QTest::newRow("japanese") << QStringLiteral("森で写真をとる。ｼｬｼﾝ①") << true;
    QTest::newRow("emoji") << QStringLiteral("😀") << false;
    QTest::newRow("japanese then emoji") << QStringLiteral("森😀") << false;
    QTest::newRow("accented latin") << QStringLiteral("é") << false;
    QTest::newRow("yen sign") << QStringLiteral("\u00a5") << false;
    QTest::newRow("wave dash") << QStringLiteral("\u301c") << false;
    QTest::newRow("lone surrogate") << QString(QChar(0xd800)) << false;
    QTest::newRow("lone surrogate amid text") << (QStringLiteral("森") + QChar(0xdc00) + QStringLiteral("a")) << false;
}

void TestCodePage::canEncode()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(codepage::canEncode(text), expected);
}

void TestCodePage::unencodableTextStillEncodes()
{
    // The encodable neighbours survive around a substitute.
    const QByteArray bytes = codepage::encode(QStringLiteral("森😀森"));
    QVERIFY(bytes.startsWith("\x90\x58"));
    QVERIFY(bytes.endsWith("\x90\x58"));
    QVERIFY(bytes.size() > 4);
    // And the next conversion starts clean.
    QVERIFY(codepage::canEncode(QStringLiteral("森")));
}

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_codepage.moc"
