#include "platform/gametimer.h"
#include "sound/deferredaudio.h"
#include "sound/gameaudio.h"
#include "sound/musicsynth.h"
#include "sound/sdlaudio.h"
#include "support/gamefixture.h"

#include <QFile>
#include <QTest>
#include <QTimer>

#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include <sys/stat.h>

// What a player hears: the music loop, the cries, and the device behind them, with
// the game's own music from the built data set.
namespace {

using namespace std::chrono_literals;

// What the loop's look at the device and a restart of the music ask of the backend.
const QString kLook = QStringLiteral("isMusicPlaying");
const QString kRestart = QStringLiteral("seekMusicToStart");
constexpr int kRate = 22050;
constexpr int kCryChannel = 0;  // the one the mixer keeps for the cries
constexpr int kBlock = 512;  // what the game asks of SDL's device at a time
constexpr double kBlockSeconds = double(kBlock) / kRate;

QByteArray fromDataSet(const QString &relative)
{
    QFile file(QStringLiteral(SHASHIN_BIN_DIR "/") + relative);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The music with the test as its audio device: it moves on only as the test mixes it.
class OfflineBackend final : public AudioBackend
{
public:
    explicit OfflineBackend(MusicPlayback &music) : m_music(music) {}
    bool openMusic(const QString &path) override { return m_music.openFile(path); }
    void closeMusic() override { m_music.close(); }
    void playMusic() override { m_music.play(); }
    void seekMusicToStart() override { m_music.seekToStart(); }
    bool isMusicPlaying() const override { return m_music.isPlaying(); }
    void playCry(const QString &) override {}
    std::chrono::milliseconds musicSteadyFor() const override { return m_music.steadyFor(); }

private:
    MusicPlayback &m_music;
};

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private slots:
    void theGamesMusicLoopsOncePerEndAndRestsBetween();
    void aDeviceComingUpLateMissesNothing();
    void shutDownDoesNotWaitForADeviceStillComingUp();
    void theDeviceRestsAndEachCryCutsTheLast();
};

void TestSound::theGamesMusicLoopsOncePerEndAndRestsBetween()
{
    if (gameSoundFont().isEmpty())
        QSKIP("no General MIDI soundfont installed");
    MusicPlayback music(gameSoundFont(), kRate);
    GameFixture game(std::make_unique<OfflineBackend>(music));
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), fromDataSet(QStringLiteral("bgm/bgm.mid")));
    QVERIFY(game.load());
    // Mixed faster than it is heard, it would run into its own rendering.
    QTRY_VERIFY_WITH_TIMEOUT(music.rendered(), 30000);
    // The test is the clock: buffer after buffer as the device takes them, and a look
    // whenever the game's timer, as the game set it, would wake; ticks bunch at half
    // their period, as when it runs late, so some fall before a restart is taken up.
    GameTimer &timer = *game.window().BgmTim;
    const QTimer *wake = timer.findChild<QTimer *>();
    QVERIFY(wake);
    std::vector<std::int16_t> buffer(2 * kBlock);
    double now = 0, nextLook = 0, end = -1;
    QList<double> restarts;
    int loudest[2] = {0, 0};  // before the first restart, and after
    while (restarts.size() < 2 && now < 600) {
        std::fill(buffer.begin(), buffer.end(), 0);
        music.mix(buffer.data(), kBlock);
        for (std::int16_t sample : buffer)
            loudest[!restarts.isEmpty()] = std::max(loudest[!restarts.isEmpty()], std::abs(int(sample)));
        now += kBlockSeconds;
        if (end < 0 && !music.isPlaying())  // its last frame has been mixed
            end = now;
        while (nextLook <= now) {
            timer.setEnabled(false);  // a tick of its own, as when the timer fires
            timer.setEnabled(true);
            game.backend().calls.clear();
            game.window().BgmTim_Timer();
            if (game.backend().calls.contains(kRestart))
                restarts << now;
            nextLook += wake->interval() > GameTimer::kMinimumPeriodMs ? wake->interval() / 1000.0 : 0.0075;
        }
    }
    QCOMPARE(restarts.size(), 2);
    // Never promised to play on past its end: restarted as soon as it got there,
    // once, and from its start again: the second time round lasts as long, give
    // or take the restart's way through the player.
    QVERIFY2(restarts[0] >= end && restarts[0] - end <= 3 * kBlockSeconds
                 && std::abs(restarts[1] - restarts[0] - restarts[0]) <= 10 * kBlockSeconds,
             qPrintable(QStringLiteral("ended at %1 s, restarted at %2 s and %3 s").arg(end).arg(restarts[0]).arg(restarts[1])));
    QVERIFY2(loudest[0] > 300 && loudest[1] > 300, qPrintable(QStringLiteral("%1, %2").arg(loudest[0]).arg(loudest[1])));
}

void TestSound::aDeviceComingUpLateMissesNothing()
{
    int triesFailing = 2;  // before the one that counts
    std::atomic_bool release{false};
    RecordingBackend *recording = nullptr;
    GameFixture game(std::make_unique<DeferredAudioBackend>([&](const std::atomic_bool &) {
        while (!release)
            std::this_thread::sleep_for(1ms);
        if (triesFailing-- > 0)  // no sound server yet: tried again a little later
            return std::unique_ptr<AudioBackend>();
        recording = new RecordingBackend(std::make_unique<SilentBackend>());
        return std::unique_ptr<AudioBackend>(recording);
    }));
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), fromDataSet(QStringLiteral("bgm/bgm.mid")));
    QVERIFY(game.load());
    Fom &w = game.window();
    w.BgmTim->setEnabled(false);
    w.BgmTim_Timer();  // asked to play and not there yet: it counts as playing
    w.NowBeast = QStringLiteral("03");
    w.Pic_Click();  // nothing to cry with yet: silence
    release = true;
    // Then the music plays in silence until told otherwise.
    QTRY_VERIFY_WITH_TIMEOUT(game.sound().statusSteadyFor() == AudioBackend::kUntilTold && recording, 10000);
    QCOMPARE(recording->calls, (QStringList{QStringLiteral("openMusic ") + game.path(QStringLiteral("bgm/bgm.mid")),
                                            QStringLiteral("playMusic")}));
    recording->playing = false;  // from now on its answers count
    game.backend().calls.clear();
    w.BgmTim_Timer();
    QVERIFY(game.backend().calls.contains(kRestart));
    QVERIFY(game.messages.shown.isEmpty());
}

void TestSound::shutDownDoesNotWaitForADeviceStillComingUp()
{
    // Shared with a worker that may outlive the test: stuck in a sound server that
    // never answers, it sees the cancel only once it is let go.
    struct Seen
    {
        std::atomic_bool started{false};
        std::atomic_bool cancelled{false};
        std::atomic_bool answered{false};
    };
    const auto seen = std::make_shared<Seen>();
    auto comingUp = std::make_unique<DeferredAudioBackend>([seen](const std::atomic_bool &cancelled) {
        seen->started = true;
        for (int i = 0; i < 10000 && !seen->answered; ++i)  // ten seconds at most
            std::this_thread::sleep_for(1ms);
        seen->cancelled = cancelled.load();
        return std::unique_ptr<AudioBackend>();
    });
    QTRY_VERIFY(seen->started);
    const auto from = std::chrono::steady_clock::now();
    comingUp.reset();  // the game shuts down
    QVERIFY(std::chrono::steady_clock::now() - from < DeferredAudioBackend::kCancelWithin + 200ms);
    seen->answered = true;
    QTRY_VERIFY(seen->cancelled);
}

void TestSound::theDeviceRestsAndEachCryCutsTheLast()
{
    // No soundfont: the cries all the same, the music in silence.
    std::atomic_bool came{false};
    GameFixture game(std::make_unique<DeferredAudioBackend>([&came](const std::atomic_bool &cancelled) {
        std::unique_ptr<AudioBackend> sdl = SdlAudioBackend::create(QStringLiteral("/nowhere/none.sf2"), &cancelled);
        came = sdl != nullptr;
        return sdl;
    }));
    for (const QString &file : {QStringLiteral("bgm/bgm.mid"), QStringLiteral("bgm/29.wav"), QStringLiteral("bgm/00.wav")})
        game.writeBytes(file, fromDataSet(file));
    QTRY_VERIFY2_WITH_TIMEOUT(came, "the dummy audio driver should always open", 20000);
    // SDL's device is the process's own: the test looks at it as the mixer does.
    const auto deviceOpen = [] { return Mix_QuerySpec(nullptr, nullptr, nullptr) != 0; };
    QTRY_VERIFY_WITH_TIMEOUT(!deviceOpen(), 5000);  // not woken for silence
    QVERIFY(game.load());
    Fom &w = game.window();
    // Without a soundfont the music plays in silence until told otherwise.
    QTRY_COMPARE_WITH_TIMEOUT(game.sound().statusSteadyFor(), AudioBackend::kUntilTold, 5000);
    w.NowBeast = QStringLiteral("29");
    w.Pic_Click();
    QVERIFY(deviceOpen() && Mix_Playing(kCryChannel));
    w.NowBeast = QStringLiteral("00");  // while the first still sounds
    w.Pic_Click();
    QVERIFY(Mix_Playing(kCryChannel));
    w.NowBeast = QStringLiteral("05");  // no cry file: the last cry stops all the same
    w.Pic_Click();
    QVERIFY(!Mix_Playing(kCryChannel));
    QCOMPARE(mkfifo(QFile::encodeName(game.path(QStringLiteral("bgm/01.wav"))).constData(), 0644), 0);
    w.NowBeast = QStringLiteral("01");  // a FIFO for a cry: refused, never waited on
    w.Pic_Click();
    w.NowBeast.clear();  // nothing on show
    w.Pic_Click();
    QCOMPARE(game.backend().calls.filter(QStringLiteral("playCry")).size(), 4);
    QTRY_VERIFY(game.backend().calls.count(kLook) >= 3);  // the game's timer looks
    QVERIFY(!game.backend().calls.contains(kRestart));
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
