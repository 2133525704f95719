#include "platform/gametimer.h"
#include "platform/messagebox.h"
#include "platform/random.h"
#include "platform/twips.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <functional>
#include <set>
#include <thread>

namespace {

// Always answers the same draw.
class FixedRandom final : public RandomSource
{
public:
    explicit FixedRandom(float value) : m_value(value) {}
    float next() override { return m_value; }

private:
    float m_value;
};

constexpr float kLargestDraw = 16777215.0f / 16777216.0f;

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void drawsStayBelowOne();
    void drawCoversEveryFace();
    void drawAtTheExtremes();
    void seededRandomIsReproducible();
    void firstDrawOfTheStandardSeed();
    void clockSeedIsNotFixed();

    void timerPeriodClamps_data();
    void timerPeriodClamps();
    void shortTimerTicks();
    void disabledTimerIsSilent();

    void twipsConversions_data();
    void twipsConversions();
    void toPixelsRounds();
    void screenMeasurements();

    void messageBoxTitleAndText();
    void messageBoxAnswers_data();
    void messageBoxAnswers();

private:
    int runBox(MessageBoxes::Buttons buttons, const std::function<void(QMessageBox *)> &action,
               QString *title = nullptr, QString *text = nullptr);
};

void TestPlatform::drawsStayBelowOne()
{
    ClockRandom random;
    float lowest = 1.0f;
    float highest = 0.0f;
    for (int i = 0; i < 200000; ++i) {
        const float r = random.next();
        QVERIFY2(r >= 0.0f && r < 1.0f, qPrintable(QString::number(double(r), 'g', 10)));
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    // The draws spread over the whole range.
    QVERIFY(lowest < 0.001f);
    QVERIFY(highest > 0.999f);
}

void TestPlatform::drawCoversEveryFace()
{
    ClockRandom random(12345);
    std::set<int> seen;
    for (int i = 0; i < 10000; ++i) {
        const int face = random.draw(6);
        QVERIFY(face >= 0 && face < 6);
        seen.insert(face);
    }
    QCOMPARE(seen.size(), std::size_t(6));
}

void TestPlatform::drawAtTheExtremes()
{
    for (const int n : {1, 2, 6, 10, 100, 1000, 65536}) {
        FixedRandom top(kLargestDraw);
        QCOMPARE(top.draw(n), n - 1);
        FixedRandom bottom(0.0f);
        QCOMPARE(bottom.draw(n), 0);
    }
    FixedRandom half(0.5f);
    QCOMPARE(half.draw(10), 5);
}

void TestPlatform::seededRandomIsReproducible()
{
    ClockRandom a(2024);
    ClockRandom b(2024);
    ClockRandom c(2025);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const float x = a.next();
        QCOMPARE(b.next(), x);
        differs = differs || c.next() != x;
    }
    QVERIFY(differs);
}

void TestPlatform::firstDrawOfTheStandardSeed()
{
    // mt19937's first output from seed 5489 is 3499211612; its top 24 bits make
    // the draw.
    ClockRandom random(5489);
    QCOMPARE(random.next(), float(3499211612u >> 8) / 16777216.0f);
}

void TestPlatform::clockSeedIsNotFixed()
{
    ClockRandom first;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ClockRandom second;
    ClockRandom standard(5489);
    bool firstDiffersFromSecond = false;
    bool firstDiffersFromStandard = false;
    for (int i = 0; i < 8; ++i) {
        const float x = first.next();
        firstDiffersFromSecond = firstDiffersFromSecond || second.next() != x;
        firstDiffersFromStandard = firstDiffersFromStandard || standard.next() != x;
    }
    QVERIFY(firstDiffersFromSecond);
    QVERIFY(firstDiffersFromStandard);
}

void TestPlatform::timerPeriodClamps_data()
{
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("period");

    QTest::newRow("0") << 0 << 15;
    QTest::newRow("1") << 1 << 15;
    QTest::newRow("14") << 14 << 15;
    QTest::newRow("15") << 15 << 15;
    QTest::newRow("16") << 16 << 16;
    QTest::newRow("1000") << 1000 << 1000;
}

void TestPlatform::timerPeriodClamps()
{
    QFETCH(int, asked);
    QFETCH(int, period);
    GameTimer timer;
    QCOMPARE(timer.period(), GameTimer::kMinimumPeriodMs);
    timer.setInterval(asked);
    QCOMPARE(timer.interval(), asked);
    QCOMPARE(timer.period(), period);
    QVERIFY(!timer.isEnabled());
}

void TestPlatform::shortTimerTicks()
{
    GameTimer timer;
    int ticks = 0;
    connect(&timer, &GameTimer::timeout, this, [&ticks] { ++ticks; });
    timer.setInterval(1);
    timer.setEnabled(true);
    QVERIFY(timer.isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 5000);
    // Changing the interval of a running timer keeps it running.
    timer.setInterval(20);
    QVERIFY(timer.isEnabled());
    const int before = ticks;
    QTRY_VERIFY_WITH_TIMEOUT(ticks > before, 5000);
    timer.setEnabled(false);
    QVERIFY(!timer.isEnabled());
}

void TestPlatform::disabledTimerIsSilent()
{
    GameTimer timer;
    QSignalSpy spy(&timer, &GameTimer::timeout);
    timer.setInterval(1);
    QTest::qWait(100);
    QCOMPARE(spy.count(), 0);
    timer.setEnabled(true);
    QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 1, 5000);
    timer.setEnabled(false);
    const int stoppedAt = spy.count();
    QTest::qWait(100);
    QCOMPARE(spy.count(), stoppedAt);
}

void TestPlatform::twipsConversions_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("perPixel");

    QTest::newRow("96 dpi") << 96.0 << 15.0;
    QTest::newRow("120 dpi") << 120.0 << 12.0;
    QTest::newRow("144 dpi") << 144.0 << 10.0;
}

void TestPlatform::twipsConversions()
{
    QFETCH(double, dpi);
    QFETCH(double, perPixel);
    QCOMPARE(twips::perPixel(dpi), perPixel);
    QCOMPARE(twips::fromPixels(1, dpi), perPixel);
    QCOMPARE(twips::fromPixels(640, dpi), 640 * perPixel);
    QCOMPARE(twips::fromPixels(0, dpi), 0.0);
    QCOMPARE(twips::toPixels(twips::kPerInch, dpi), qRound(dpi));
    QCOMPARE(twips::toPixels(640 * perPixel, dpi), 640);
    QCOMPARE(twips::toPixels(0, dpi), 0);
}

void TestPlatform::toPixelsRounds()
{
    // At 96 dpi a pixel is 15 twips: 7 twips is under half a pixel, 8 over.
    QCOMPARE(twips::toPixels(7, 96), 0);
    QCOMPARE(twips::toPixels(8, 96), 1);
    QCOMPARE(twips::toPixels(22, 96), 1);
    QCOMPARE(twips::toPixels(23, 96), 2);
    QCOMPARE(twips::toPixels(9000, 96), 600);
    QCOMPARE(twips::toPixels(9000, 120), 750);
    QCOMPARE(twips::toPixels(-15, 96), -1);
}

void TestPlatform::screenMeasurements()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen != nullptr);
    const double dpi = screen->logicalDotsPerInchY();
    QVERIFY(dpi > 0);

    QWidget widget;
    QCOMPARE(twips::dpiOf(&widget), widget.screen()->logicalDotsPerInchY());
    QCOMPARE(twips::dpiOf(nullptr), dpi);

    const QSize pixels = screen->geometry().size();
    const QSizeF expected(pixels.width() * 1440.0 / dpi, pixels.height() * 1440.0 / dpi);
    QCOMPARE(twips::screenSize(nullptr), expected);
    QCOMPARE(twips::screenSize(&widget), expected);
    QVERIFY(!expected.isEmpty());
}

int TestPlatform::runBox(MessageBoxes::Buttons buttons, const std::function<void(QMessageBox *)> &action,
                         QString *title, QString *text)
{
    // Acts on the box once it is up, from inside its own event loop.
    QTimer poll;
    poll.setInterval(10);
    bool acted = false;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || acted)
            return;
        acted = true;
        poll.stop();
        if (title != nullptr)
            *title = box->windowTitle();
        if (text != nullptr)
            *text = box->text();
        action(box);
    });
    // Should the action fail to shut the box, shut it anyway so the run ends.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, [] {
        if (auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            box->done(-1);
    });
    watchdog.start(10000);
    poll.start();

    QtMessageBoxes boxes;
    const int answer = boxes.show(QStringLiteral("保存しますか？"), buttons);
    const bool watchdogFired = !watchdog.isActive();
    if (!acted || watchdogFired)
        return -100;
    return answer;
}

void TestPlatform::messageBoxTitleAndText()
{
    QString title;
    QString text;
    const int answer = runBox(MessageBoxes::Ok, [](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); },
                              &title, &text);
    QCOMPARE(answer, int(MessageBoxes::AnswerOk));
    QCOMPARE(title, QStringLiteral("shashin"));
    QCOMPARE(title, QtMessageBoxes::title());
    QCOMPARE(text, QStringLiteral("保存しますか？"));
}

using BoxAction = std::function<void(QMessageBox *)>;
Q_DECLARE_METATYPE(BoxAction)

void TestPlatform::messageBoxAnswers_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<BoxAction>("action");
    QTest::addColumn<int>("answer");

    const BoxAction clickOk = [](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); };
    const BoxAction clickCancel = [](QMessageBox *box) { box->button(QMessageBox::Cancel)->click(); };
    const BoxAction pressEscape = [](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); };
    const BoxAction pressEnter = [](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Return); };
    const BoxAction closeWindow = [](QMessageBox *box) { box->close(); };

    const int ok = MessageBoxes::Ok;
    const int okCancel = MessageBoxes::OkCancel;
    QTest::newRow("ok box, click ok") << ok << clickOk << int(MessageBoxes::AnswerOk);
    QTest::newRow("ok box, enter") << ok << pressEnter << int(MessageBoxes::AnswerOk);
    QTest::newRow("ok box, escape") << ok << pressEscape << int(MessageBoxes::AnswerOk);
    QTest::newRow("ok box, close") << ok << closeWindow << int(MessageBoxes::AnswerOk);
    QTest::newRow("ok-cancel box, click ok") << okCancel << clickOk << int(MessageBoxes::AnswerOk);
    QTest::newRow("ok-cancel box, enter") << okCancel << pressEnter << int(MessageBoxes::AnswerOk);
    QTest::newRow("ok-cancel box, click cancel") << okCancel << clickCancel << int(MessageBoxes::AnswerCancel);
    QTest::newRow("ok-cancel box, escape") << okCancel << pressEscape << int(MessageBoxes::AnswerDismissed);
    QTest::newRow("ok-cancel box, close") << okCancel << closeWindow << int(MessageBoxes::AnswerDismissed);
}

void TestPlatform::messageBoxAnswers()
{
    QFETCH(int, buttons);
    QFETCH(BoxAction, action);
    QFETCH(int, answer);
    if (buttons == MessageBoxes::Ok) {
        bool hasCancel = true;
        const int got = runBox(MessageBoxes::Ok, [&](QMessageBox *box) {
            hasCancel = box->button(QMessageBox::Cancel) != nullptr;
            action(box);
        });
        QCOMPARE(got, answer);
        QVERIFY(!hasCancel);
    } else {
        QCOMPARE(runBox(MessageBoxes::OkCancel, action), answer);
    }
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
