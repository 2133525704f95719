#include "core/fom.h"
#include "platform/gametimer.h"
#include "platform/picturebox.h"
#include "platform/sounddevice.h"
#include "screen/controls.h"
#include "sound/deferredaudio.h"
#include "sound/gameaudio.h"
#include "sound/midifile.h"
#include "sound/musicsynth.h"
#include "sound/sdlaudio.h"
#include "support/gamefixture.h"
#include "tst_sound_files.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

// The music loop and the cries: the command strings the game sends, the device that
// comes up behind the window, and the real backend on SDL's dummy audio driver.
namespace {

const QString kStatus = QStringLiteral("status MIDI mode");
const QString kSeek = QStringLiteral("seek MIDI to start");
const QString kRestart = QStringLiteral("play MIDI from 0");

// A recording backend that counts its own end and promises that its answer
// holds for `steady`.
class CountedBackend final : public AudioBackend
{
public:
    explicit CountedBackend(std::atomic_int &destroyed)
        : m_destroyed(destroyed)
    {
    }
    ~CountedBackend() override { ++m_destroyed; }
    bool openMusic(const QString &path) override { return inner.openMusic(path); }
    void closeMusic() override { inner.closeMusic(); }
    void playMusic() override { inner.playMusic(); }
    void seekMusicToStart() override { inner.seekMusicToStart(); }
    bool isMusicPlaying() const override { return inner.isMusicPlaying(); }
    void playCry(const QString &path) override { inner.playCry(path); }
    std::chrono::milliseconds musicSteadyFor() const override { return steady; }
    RecordingBackend inner;
    std::chrono::milliseconds steady{0};

private:
    std::atomic_int &m_destroyed;
};

// A factory held back until the test lets it go, handing out a recording backend.
struct HeldFactory
{
    std::atomic_bool released{false};
    std::atomic_bool sawCancel{false};
    std::atomic_int made{0};
    std::atomic_int destroyed{0};
    CountedBackend *backend = nullptr;  // what it made, once it has

    DeferredAudioBackend::Factory factory()
    {
        return [this](const std::atomic_bool &cancelled) -> std::unique_ptr<AudioBackend> {
            while (!released) {
                if (cancelled) {
                    sawCancel = true;
                    return nullptr;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            auto made = std::make_unique<CountedBackend>(destroyed);
            backend = made.get();
            ++this->made;
            return made;
        };
    }

    RecordingBackend &recording() { return backend->inner; }
};

// A window over its own device, for the tests that need a backend of their own.
struct OwnWindow
{
    explicit OwnWindow(GameFixture &game, std::unique_ptr<AudioBackend> backend)
        : sound(std::move(backend))
        , window({game.dir(), &random, &messages, &sound})
    {
        sound.setRecording(true);
    }
    ScriptedRandom random;
    ScriptedMessages messages;
    SoundDevice sound;
    Fom window;
};

SdlAudioBackend *sdlBackend(DeferredAudioBackend &deferred)
{
    SdlAudioBackend *found = nullptr;
    deferred.withBackend([&](AudioBackend &backend) { found = dynamic_cast<SdlAudioBackend *>(&backend); });
    return found;
}

std::unique_ptr<DeferredAudioBackend> realBackend(const QString &soundFont = gameSoundFont())
{
    return std::make_unique<DeferredAudioBackend>([soundFont](const std::atomic_bool &cancelled) {
        return std::unique_ptr<AudioBackend>(
            SdlAudioBackend::create(soundFont, &cancelled, SdlAudioBackend::Caller::Worker));
    });
}

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // The command strings, with a recording backend.
    void startUpOpensAndPlaysTheMusic();
    void eachTickOnlyAsksForTheStatus();
    void stoppedMusicIsRestartedFromItsStart();
    void noRestartWithTheMusicOff();
    void noRestartWhenTheMusicDidNotOpen();
    void theTimerPollsByItself();
    void theLoopRestsWhileTheAnswerCannotChange();
    void shutDownClosesTheMusic();
    void clickOnThePictureCries();
    void eachClickStartsTheCryAgain();
    void clickWithNoCreatureIsHarmless();
    void pressingThePictureRemovesItsBorder_data();
    void pressingThePictureRemovesItsBorder();

    // The music file check.
    void midiCheck_data();
    void midiCheck();
    void midiProgramsAreThoseThePieceSets();

    // The device that comes up behind the window.
    void commandsBeforeTheDeviceIsUpAreKept();
    void badMusicBeforeTheDeviceIsUpDoesNotOpen();
    void noDeviceMeansSilentMusicAndNoRestarts();
    void shutDownDoesNotWaitForADeviceStillComingUp();
    void gameSoundComesUpBehindTheWindow();
    void gameSoundWaitsForTheFirstPaint();

    // The real backend, on SDL's dummy driver.
    void realDeviceComesUpAndTheMusicLoops();
    void realDeviceWithABadMusicFileStaysQuiet();
    void realCryReplacesTheOneStillPlaying();
    void realCryFromAMissingOrNamelessFileIsSilence();
    void realDeviceRestsWhileNothingSounds();
    void realClickOnThePictureCries();
    void withoutASoundFontTheCriesStillSound();
};

void TestSound::initTestCase()
{
    // Never a real sound card from a test run, whoever starts it.
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QCOMPARE(qgetenv("SDL_AUDIODRIVER"), QByteArray("dummy"));
}

void TestSound::startUpOpensAndPlaysTheMusic()
{
    GameFixture game;
    QVERIFY(game.load());
    const QString path = game.dir() + QStringLiteral("/bgm/bgm.mid");
    QCOMPARE(game.sound().sent(), (QStringList{QStringLiteral("close MIDI notify"),
                                               QStringLiteral("open \"") + path + QStringLiteral("\" alias MIDI"),
                                               QStringLiteral("play MIDI notify")}));
    // Nothing was open for the first close to close.
    QCOMPARE(game.backend().calls, (QStringList{QStringLiteral("openMusic ") + path, QStringLiteral("playMusic")}));
    QVERIFY(game.window().shared().MusicOn);
}

void TestSound::eachTickOnlyAsksForTheStatus()
{
    GameFixture game;
    QVERIFY(game.load());
    game.window().BgmTim->setEnabled(false);  // the test ticks
    game.sound().clearSent();
    game.backend().calls.clear();
    for (int i = 0; i < 3; ++i)
        game.window().BgmTim_Timer();
    QCOMPARE(game.sound().sent(), QStringList(3, kStatus));
    QVERIFY(game.backend().calls.isEmpty());
}

void TestSound::stoppedMusicIsRestartedFromItsStart()
{
    GameFixture game;
    QVERIFY(game.load());
    game.window().BgmTim->setEnabled(false);
    game.sound().clearSent();
    game.backend().calls.clear();
    game.backend().playing = false;
    game.window().BgmTim_Timer();
    QCOMPARE(game.sound().sent(), (QStringList{kStatus, kSeek, kRestart}));
    // "play MIDI from 0" is a seek and a play of its own.
    QCOMPARE(game.backend().calls, (QStringList{QStringLiteral("seekMusicToStart"), QStringLiteral("seekMusicToStart"),
                                                QStringLiteral("playMusic")}));
    game.sound().clearSent();
    game.backend().playing = true;
    game.window().BgmTim_Timer();
    QCOMPARE(game.sound().sent(), QStringList{kStatus});
}

void TestSound::noRestartWithTheMusicOff()
{
    GameFixture game;
    QVERIFY(game.load());
    game.window().BgmTim->setEnabled(false);
    game.window().shared().MusicOn = false;
    game.backend().playing = false;
    game.sound().clearSent();
    game.window().BgmTim_Timer();
    QCOMPARE(game.sound().sent(), QStringList{kStatus});
}

void TestSound::noRestartWhenTheMusicDidNotOpen()
{
    GameFixture game;
    game.backend().openSucceeds = false;
    game.backend().playing = false;
    QVERIFY(game.load());
    game.window().BgmTim->setEnabled(false);
    QVERIFY(!game.sound().isMusicOpen());
    // The answer is empty: the loop's buffer holds spaces, not "stopped".
    QCOMPARE(game.sound().sendString(kStatus), QString());
    game.sound().clearSent();
    game.backend().calls.clear();
    for (int i = 0; i < 10; ++i)
        game.window().BgmTim_Timer();
    QCOMPARE(game.sound().sent(), QStringList(10, kStatus));
    QVERIFY(game.backend().calls.isEmpty());
}

void TestSound::theTimerPollsByItself()
{
    GameFixture game;
    game.start();
    game.sound().clearSent();
    QTRY_VERIFY_WITH_TIMEOUT(game.sound().sent().count(kStatus) >= 3, 10000);
    QVERIFY(game.sound().sent().count(kStatus) == game.sound().sent().size());
    // Stopped music is restarted by the timer too.
    game.backend().playing = false;
    QTRY_VERIFY_WITH_TIMEOUT(game.sound().sent().contains(kRestart), 10000);
}

void TestSound::theLoopRestsWhileTheAnswerCannotChange()
{
    GameFixture game;
    std::atomic_int destroyed{0};
    auto owned = std::make_unique<CountedBackend>(destroyed);
    CountedBackend &backend = *owned;
    backend.steady = std::chrono::minutes(1);
    OwnWindow own(game, std::move(owned));
    QVERIFY(own.window.Form_Load());
    own.window.show();
    QTRY_VERIFY_WITH_TIMEOUT(own.sound.sent().contains(kStatus), 10000);
    // Not asked again at every tick: the game stays asleep.
    own.sound.clearSent();
    QTest::qWait(300);
    QVERIFY2(own.sound.sent().count(kStatus) <= 1, qPrintable(own.sound.sent().join(u',')));
    // Near the end the promise is gone: the loop looks again and restarts the piece.
    backend.steady = std::chrono::milliseconds::zero();
    backend.inner.playing = false;
    QTRY_VERIFY_WITH_TIMEOUT(own.sound.sent().contains(kRestart), 5000);
}

void TestSound::shutDownClosesTheMusic()
{
    GameFixture game;
    game.start();
    game.window().close();
    QCOMPARE(game.sound().sent().last(), QStringLiteral("close MIDI notify"));
    QCOMPARE(game.backend().calls.last(), QStringLiteral("closeMusic"));
    QVERIFY(!game.sound().isMusicOpen());
    QVERIFY(!game.window().BgmTim->isEnabled());
    // No tick asks after the music was closed.
    const qsizetype sent = game.sound().sent().size();
    QTest::qWait(100);
    QCOMPARE(game.sound().sent().size(), sent);
}

void TestSound::clickOnThePictureCries()
{
    GameFixture game;
    game.start();
    Fom &w = game.window();
    w.BakSee->show();
    w.Pic->show();
    QTRY_VERIFY(w.Pic->isVisible());
    w.NowBeast = QStringLiteral("07");
    game.sound().clearSent();
    game.backend().calls.clear();
    QTest::mouseClick(w.Pic, Qt::LeftButton);
    const QString path = game.dir() + QStringLiteral("/bgm/07.wav");
    QCOMPARE(game.sound().sent().filter(QStringLiteral("PlayWave")), QStringList{QStringLiteral("PlayWave ") + path});
    QCOMPARE(game.backend().calls.filter(QStringLiteral("playCry")), QStringList{QStringLiteral("playCry ") + path});
    QCOMPARE(w.Pic->border(), PictureBox::Border::Single);
}

void TestSound::eachClickStartsTheCryAgain()
{
    GameFixture game;
    QVERIFY(game.load());
    Fom &w = game.window();
    w.NowBeast = QStringLiteral("12");
    w.Pic_Click();
    w.NowBeast = QStringLiteral("13");
    w.Pic_Click();
    w.Pic_Click();
    const QString bgm = game.dir() + QStringLiteral("/bgm/");
    QCOMPARE(game.backend().calls.filter(QStringLiteral("playCry")),
             (QStringList{QStringLiteral("playCry ") + bgm + QStringLiteral("12.wav"),
                          QStringLiteral("playCry ") + bgm + QStringLiteral("13.wav"),
                          QStringLiteral("playCry ") + bgm + QStringLiteral("13.wav")}));
}

void TestSound::clickWithNoCreatureIsHarmless()
{
    GameFixture game;
    QVERIFY(game.load());
    Fom &w = game.window();
    QCOMPARE(w.NowBeast, QString());
    w.Pic_Click();
    QVERIFY(game.sound().sent().filter(QStringLiteral("PlayWave")).isEmpty());
    QVERIFY(game.messages.shown.isEmpty());
}

void TestSound::pressingThePictureRemovesItsBorder_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("number");
    QTest::newRow("left") << Qt::LeftButton << 1;
    QTest::newRow("right") << Qt::RightButton << 2;
    QTest::newRow("middle") << Qt::MiddleButton << 4;
}

void TestSound::pressingThePictureRemovesItsBorder()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, number);
    QCOMPARE(buttonNumber(button), number);
    GameFixture game;
    game.start();
    Fom &w = game.window();
    w.BakSee->show();
    w.Pic->show();
    w.NowBeast = QStringLiteral("12");
    QCOMPARE(w.Pic->border(), PictureBox::Border::Single);
    QTest::mousePress(w.Pic, button);
    QCOMPARE(w.Pic->border(), PictureBox::Border::None);
    QTest::mouseRelease(w.Pic, button);
    QCOMPARE(w.Pic->border(), PictureBox::Border::Single);
    // The handlers themselves, with the game's button numbers.
    w.Pic_MouseDown(number);
    QCOMPARE(w.Pic->border(), PictureBox::Border::None);
    w.Pic_MouseUp(number);
    QCOMPARE(w.Pic->border(), PictureBox::Border::Single);
    // Only the left button cries.
    QCOMPARE(game.sound().sent().filter(QStringLiteral("PlayWave")).size(), button == Qt::LeftButton ? 1 : 0);
}

void TestSound::midiCheck_data()
{
    using namespace soundfiles;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("playable");
    const QByteArray track = trackOfNotes({60, 62});
    QTest::newRow("one track") << shortTune() << true;
    QTest::newRow("two tracks") << header(1, 2) + track + trackOfNotes({48}) << true;
    QTest::newRow("unknown chunk first") << header(0, 1) + chunk("XFIH", "abc") + track << true;
    QTest::newRow("running status") << header(0, 1)
                                           + chunk("MTrk", bytes({0x00, 0x90, 60, 100, 0x60, 64, 100, 0x60, 60, 0, 0x00,
                                                                  64, 0, 0x00, 0xFF, 0x2F, 0x00}))
                                    << true;
    QTest::newRow("track without an end event") << header(0, 1) + chunk("MTrk", bytes({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}))
                                                 << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("words") << QByteArray("MThd is how it starts, but this is text") << false;
    QTest::newRow("a wave") << toneWave(0.05) << false;
    QTest::newRow("header only") << header(0, 1) << false;
    QTest::newRow("header of seven bytes") << chunk("MThd", bytes({0, 0, 0, 1, 1, 0xE0, 0})) + track << false;
    QTest::newRow("format 3") << header(3, 1) + track << false;
    QTest::newRow("no tracks announced") << header(0, 0) + track << false;
    QTest::newRow("no division") << header(0, 1, 0) + track << false;
    QTest::newRow("SMPTE time") << header(0, 1, 0xE728) + track << false;
    QTest::newRow("fewer tracks than announced") << header(1, 3) + track + track << false;
    QTest::newRow("track longer than the file") << (header(0, 1) + track).chopped(1) << false;
    QTest::newRow("event runs past its track")
        << header(0, 1) + chunk("MTrk", bytes({0x00, 0x90, 60})) + chunk("MTrk", bytes({100, 0x00, 0xFF, 0x2F, 0x00}))
        << false;
    QTest::newRow("no running status yet") << header(0, 1) + chunk("MTrk", bytes({0x00, 60, 100, 0x00, 0xFF, 0x2F, 0x00}))
                                           << false;
    QTest::newRow("running status after a meta event")
        << header(0, 1) + chunk("MTrk", bytes({0x00, 0xFF, 0x01, 0x01, 'a', 0x00, 60, 100, 0x00, 0xFF, 0x2F, 0x00}))
        << false;
    QTest::newRow("system message in a track")
        << header(0, 1) + chunk("MTrk", bytes({0x00, 0xF2, 0x00, 0x00, 0x00, 0xFF, 0x2F, 0x00})) << false;
    QTest::newRow("delta of five bytes")
        << header(0, 1) + chunk("MTrk", bytes({0x81, 0x81, 0x81, 0x81, 0x01, 0xFF, 0x2F, 0x00})) << false;
    QTest::newRow("meta longer than its track") << header(0, 1) + chunk("MTrk", bytes({0x00, 0xFF, 0x01, 0x10, 'a'}))
                                                << false;
    QTest::newRow("binary chunk name") << header(0, 1) + chunk("\x80\x81\x82\x83", "") + track << false;
}

void TestSound::midiCheck()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, playable);
    QCOMPARE(isPlayableMidi(bytes), playable);
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/x.mid"), bytes);
    QCOMPARE(readPlayableMidi(game.path(QStringLiteral("bgm/x.mid"))).isEmpty(), !playable);
}

void TestSound::midiProgramsAreThoseThePieceSets()
{
    using namespace soundfiles;
    // Flute and clarinet on channels 1 and 2, the clarinet part then a harp (by
    // running status), the flute again, and the drum kit on channel 10.
    const QByteArray melody = chunk("MTrk", bytes({0x00, 0xC0, 73, 0x00, 0xC1, 71, 0x10, 46, 0x00, 0x90, 60, 100, 0x60, 0x80,
                                                   60, 0, 0x00, 0xC0, 73, 0x00, 0xFF, 0x2F, 0x00}));
    const QByteArray drums = chunk("MTrk", bytes({0x00, 0xC9, 0, 0x00, 0x99, 36, 100, 0x60, 0x89, 36, 0, 0x00, 0xFF, 0x2F, 0x00}));
    QList<MidiProgram> programs;
    QVERIFY(isPlayableMidi(header(1, 2) + melody + drums, &programs));
    QCOMPARE(programs, (QList<MidiProgram>{{0, 73}, {1, 71}, {1, 46}, {9, 0}}));
}

void TestSound::commandsBeforeTheDeviceIsUpAreKept()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), soundfiles::shortTune());
    HeldFactory held;
    auto owned = std::make_unique<DeferredAudioBackend>(held.factory());
    DeferredAudioBackend &deferred = *owned;
    OwnWindow own(game, std::move(owned));
    Fom &w = own.window;
    QVERIFY(w.Form_Load());
    w.BgmTim->setEnabled(false);
    QVERIFY(!deferred.isReady());
    QVERIFY(own.sound.isMusicOpen());
    // Asked to play and not there yet: playing, so the loop leaves it alone.
    own.sound.clearSent();
    for (int i = 0; i < 5; ++i)
        w.BgmTim_Timer();
    QCOMPARE(own.sound.sent(), QStringList(5, kStatus));
    QCOMPARE(own.sound.sendString(kStatus), QStringLiteral("playing"));
    w.Pic_Click();  // silence: there is nothing to cry with yet

    held.released = true;
    QTRY_VERIFY_WITH_TIMEOUT(deferred.isReady(), 10000);
    QVERIFY(deferred.hasBackend());
    RecordingBackend &recording = held.recording();
    const QString path = game.dir() + QStringLiteral("/bgm/bgm.mid");
    QCOMPARE(recording.calls, (QStringList{QStringLiteral("openMusic ") + path, QStringLiteral("playMusic")}));

    // From now on everything goes straight through.
    recording.playing = false;
    own.sound.clearSent();
    w.BgmTim_Timer();
    QCOMPARE(own.sound.sent(), (QStringList{kStatus, kSeek, kRestart}));
    QCOMPARE(recording.calls.mid(2), (QStringList{QStringLiteral("seekMusicToStart"),
                                                  QStringLiteral("seekMusicToStart"), QStringLiteral("playMusic")}));
    w.NowBeast = QStringLiteral("03");
    w.Pic_Click();
    QCOMPARE(recording.calls.last(), QStringLiteral("playCry ") + game.dir() + QStringLiteral("/bgm/03.wav"));
    w.Form_Unload();
    QCOMPARE(recording.calls.last(), QStringLiteral("closeMusic"));
}

void TestSound::badMusicBeforeTheDeviceIsUpDoesNotOpen()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), QByteArray("RIFF....not a score"));
    HeldFactory held;
    auto owned = std::make_unique<DeferredAudioBackend>(held.factory());
    DeferredAudioBackend &deferred = *owned;
    OwnWindow own(game, std::move(owned));
    QVERIFY(own.window.Form_Load());
    own.window.BgmTim->setEnabled(false);
    QVERIFY(!own.sound.isMusicOpen());
    QCOMPARE(own.sound.sendString(kStatus), QString());
    held.released = true;
    QTRY_VERIFY_WITH_TIMEOUT(deferred.isReady(), 10000);
    // Nothing to hand over: the device never saw the file.
    QVERIFY(held.recording().calls.isEmpty());
    own.sound.clearSent();
    own.window.BgmTim_Timer();
    QCOMPARE(own.sound.sent(), QStringList{kStatus});
}

void TestSound::noDeviceMeansSilentMusicAndNoRestarts()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), soundfiles::shortTune());
    auto owned = std::make_unique<DeferredAudioBackend>(
        [](const std::atomic_bool &) { return std::unique_ptr<AudioBackend>(); });
    DeferredAudioBackend &deferred = *owned;
    OwnWindow own(game, std::move(owned));
    QTRY_VERIFY_WITH_TIMEOUT(deferred.isReady(), 10000);
    QVERIFY(!deferred.hasBackend());
    QVERIFY(own.window.Form_Load());
    own.window.BgmTim->setEnabled(false);
    QVERIFY(own.sound.isMusicOpen());
    own.sound.clearSent();
    for (int i = 0; i < 20; ++i)
        own.window.BgmTim_Timer();
    QCOMPARE(own.sound.sent(), QStringList(20, kStatus));
    own.window.NowBeast = QStringLiteral("01");
    own.window.Pic_Click();
    QVERIFY(own.messages.shown.isEmpty());
    own.window.Form_Unload();
    QCOMPARE(own.sound.sendString(kStatus), QString());
}

void TestSound::shutDownDoesNotWaitForADeviceStillComingUp()
{
    HeldFactory held;
    QElapsedTimer timer;
    {
        SoundDevice sound(std::make_unique<DeferredAudioBackend>(held.factory()));
        sound.sendString(QStringLiteral("close MIDI notify"));
        timer.start();
    }
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(held.sawCancel);
    QCOMPARE(held.made.load(), 0);

    // A backend that did come up is let go with the device.
    HeldFactory done;
    {
        DeferredAudioBackend deferred(done.factory());
        done.released = true;
        QTRY_VERIFY_WITH_TIMEOUT(deferred.isReady(), 10000);
        QCOMPARE(done.made.load(), 1);
    }
    QCOMPARE(done.destroyed.load(), 1);
}

void TestSound::gameSoundComesUpBehindTheWindow()
{
    // From the sound module the build puts beside the game.
    auto real = makeGameAudioBackend(QStringLiteral(SHASHIN_BIN_DIR));
    auto *deferred = dynamic_cast<DeferredAudioBackend *>(real.get());
    QVERIFY(deferred);
    QTRY_VERIFY_WITH_TIMEOUT(deferred->isReady(), 20000);
    QVERIFY2(deferred->hasBackend(), "the dummy audio driver should always open");
    real.reset();
    // A program without the module is silent, as without a device.
    GameFixture game;
    auto none = makeGameAudioBackend(game.dir());
    auto *silent = dynamic_cast<DeferredAudioBackend *>(none.get());
    QTRY_VERIFY_WITH_TIMEOUT(silent->isReady(), 20000);
    QVERIFY(!silent->hasBackend());
}

void TestSound::gameSoundWaitsForTheFirstPaint()
{
    HeldFactory held;
    held.released = true;
    DeferredAudioBackend deferred(held.factory(), DeferredAudioBackend::Start::AfterFirstPaint, std::chrono::minutes(1));
    QTest::qWait(100);
    QVERIFY(!deferred.isReady());
    QCOMPARE(held.made.load(), 0);
    QWidget window;
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(deferred.isReady(), 10000);
    QCOMPARE(held.made.load(), 1);
}

void TestSound::realDeviceComesUpAndTheMusicLoops()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), soundfiles::shortTune());
    auto owned = realBackend();
    DeferredAudioBackend &deferred = *owned;
    OwnWindow own(game, std::move(owned));
    Fom &w = own.window;
    QVERIFY(w.Form_Load());
    // Until the device is up the music counts as playing; the loop leaves it alone.
    QCOMPARE(own.sound.sendString(kStatus), QStringLiteral("playing"));
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(deferred.isReady(), 20000);
    SdlAudioBackend *sdl = sdlBackend(deferred);
    QVERIFY2(sdl, "the dummy audio driver should always open");
    QVERIFY(sdl->hasSynth());
    MusicSynth *synth = sdl->synth();
    // The dummy driver pulls samples in real time: the music moves on its own.
    QTRY_VERIFY_WITH_TIMEOUT(synth->currentTick() > 100, 20000);
    QCOMPARE(synth->totalTicks(), 720);
    // Round and round: wait for three restarts of the 0.75 s tune.
    QTRY_VERIFY_WITH_TIMEOUT(own.sound.sent().count(kRestart) >= 3, 30000);
    w.BgmTim->setEnabled(false);
    // Never two restarts on consecutive ticks: after each, the next tick found it
    // playing again.
    const QStringList sent = own.sound.sent();
    for (qsizetype i = 0; i + 4 < sent.size(); ++i) {
        if (sent[i] == kRestart) {
            QCOMPARE(sent[i + 1], kStatus);
            QVERIFY2(sent[i + 2] != kSeek, qPrintable(QStringLiteral("second restart after entry %1").arg(i)));
        }
    }
    QCOMPARE(synth->loads(), 1);
    w.close();
    QCOMPARE(own.sound.sent().last(), QStringLiteral("close MIDI notify"));
    QVERIFY(!synth->isPlaying());
}

void TestSound::realDeviceWithABadMusicFileStaysQuiet()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), soundfiles::header(0, 1) + QByteArray("MTrk\0\0\0\x10short", 13));
    auto owned = realBackend();
    DeferredAudioBackend &deferred = *owned;
    QTRY_VERIFY_WITH_TIMEOUT(deferred.isReady(), 20000);
    SdlAudioBackend *sdl = sdlBackend(deferred);
    QVERIFY(sdl && sdl->hasSynth());
    OwnWindow own(game, std::move(owned));
    QVERIFY(own.window.Form_Load());
    QVERIFY(!own.sound.isMusicOpen());
    own.window.show();
    // The timer runs; the answer stays empty, so no restart is ever sent.
    QTRY_VERIFY_WITH_TIMEOUT(own.sound.sent().count(kStatus) >= 2, 20000);
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), soundfiles::shortTune());  // not looked at again
    const qsizetype asked = own.sound.sent().count(kStatus);
    QTRY_VERIFY_WITH_TIMEOUT(own.sound.sent().count(kStatus) >= asked + 2, 20000);
    QVERIFY(!own.sound.sent().contains(kSeek));
    QVERIFY(!own.sound.sent().contains(kRestart));
    QCOMPARE(sdl->synth()->loads(), 0);
    QVERIFY(own.messages.shown.isEmpty());
}

void TestSound::realCryReplacesTheOneStillPlaying()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/01.wav"), soundfiles::toneWave(5.0));
    game.writeBytes(QStringLiteral("bgm/02.wav"), soundfiles::toneWave(1.5, 22050, 660));
    auto deferred = realBackend();
    QTRY_VERIFY_WITH_TIMEOUT(deferred->isReady(), 20000);
    SdlAudioBackend *sdl = sdlBackend(*deferred);
    QVERIFY(sdl);
    const int finished = SdlAudioBackend::criesFinished();
    deferred->playCry(game.path(QStringLiteral("bgm/01.wav")));
    QVERIFY(sdl->isCryPlaying());
    QCOMPARE(SdlAudioBackend::criesFinished(), finished);
    // The second stops the first at once and starts from its own beginning.
    deferred->playCry(game.path(QStringLiteral("bgm/02.wav")));
    QCOMPARE(SdlAudioBackend::criesFinished(), finished + 1);
    QVERIFY(sdl->isCryPlaying());
    // The same cry again starts over as well.
    deferred->playCry(game.path(QStringLiteral("bgm/02.wav")));
    QCOMPARE(SdlAudioBackend::criesFinished(), finished + 2);
    QVERIFY(sdl->isCryPlaying());
    // And plays out to its end.
    QTRY_VERIFY_WITH_TIMEOUT(!sdl->isCryPlaying(), 20000);
    QCOMPARE(SdlAudioBackend::criesFinished(), finished + 3);
}

void TestSound::realCryFromAMissingOrNamelessFileIsSilence()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/01.wav"), soundfiles::toneWave(5.0));
    game.writeBytes(QStringLiteral("bgm/broken.wav"), QByteArray("RIFF\x10\0\0\0WAVEjunk", 16));
    auto deferred = realBackend();
    QTRY_VERIFY_WITH_TIMEOUT(deferred->isReady(), 20000);
    SdlAudioBackend *sdl = sdlBackend(*deferred);
    QVERIFY(sdl);
    for (const QString name : {QStringLiteral("bgm/missing.wav"), QStringLiteral("bgm/.wav"),
                               QStringLiteral("bgm/broken.wav"), QStringLiteral("bgm")}) {
        deferred->playCry(game.path(QStringLiteral("bgm/01.wav")));
        QVERIFY(sdl->isCryPlaying());
        const int finished = SdlAudioBackend::criesFinished();
        deferred->playCry(game.path(name));
        QVERIFY2(!sdl->isCryPlaying(), qPrintable(name));
        QCOMPARE(SdlAudioBackend::criesFinished(), finished + 1);
    }
    QVERIFY(sdl->hasSynth());
}

void TestSound::realDeviceRestsWhileNothingSounds()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/01.wav"), soundfiles::toneWave(0.3));
    // Three seconds of music.
    game.writeBytes(QStringLiteral("bgm/bgm.mid"),
                    soundfiles::header(0, 1) + soundfiles::trackOfNotes({60, 62, 64, 65, 67, 69, 71, 72, 71, 69, 67, 65}));
    auto deferred = realBackend();
    QTRY_VERIFY_WITH_TIMEOUT(deferred->isReady(), 20000);
    SdlAudioBackend *sdl = sdlBackend(*deferred);
    QVERIFY(sdl && sdl->hasSynth());
    // Nothing to play: the device is let go.
    QTRY_VERIFY_WITH_TIMEOUT(!sdl->isDeviceOpen(), 10000);
    // A cry takes it again and plays to its end on it; then it is let go again.
    const int finished = SdlAudioBackend::criesFinished();
    deferred->playCry(game.path(QStringLiteral("bgm/01.wav")));
    QVERIFY(sdl->isCryPlaying());
    QTRY_COMPARE_WITH_TIMEOUT(SdlAudioBackend::criesFinished(), finished + 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!sdl->isDeviceOpen(), 10000);
    // So does the music, which keeps it for as long as it plays.
    QVERIFY(deferred->openMusic(game.path(QStringLiteral("bgm/bgm.mid"))));
    deferred->playMusic();
    QVERIFY(sdl->isDeviceOpen());
    QTest::qWait(int(2 * SdlAudioBackend::kQuietBeforeClosing.count()));
    QVERIFY(sdl->isDeviceOpen());
    QVERIFY(sdl->synth()->isPlaying());
    QVERIFY(sdl->synth()->currentTick() > 0);
}

void TestSound::realClickOnThePictureCries()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), soundfiles::shortTune());
    game.writeBytes(QStringLiteral("bgm/05.wav"), soundfiles::toneWave(5.0));
    auto owned = realBackend();
    DeferredAudioBackend &deferred = *owned;
    OwnWindow own(game, std::move(owned));
    Fom &w = own.window;
    QVERIFY(w.Form_Load());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY_WITH_TIMEOUT(deferred.isReady(), 20000);
    SdlAudioBackend *sdl = sdlBackend(deferred);
    QVERIFY(sdl);
    QTRY_COMPARE(w.LblSyasin->caption(), QStringLiteral("0枚／100枚"));
    w.BakSee->show();
    w.Pic->show();
    w.NowBeast = QStringLiteral("05");
    QVERIFY(!sdl->isCryPlaying());
    QTest::mouseClick(w.Pic, Qt::LeftButton);
    QVERIFY(sdl->isCryPlaying());
    w.close();
}

void TestSound::withoutASoundFontTheCriesStillSound()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), soundfiles::shortTune());
    game.writeBytes(QStringLiteral("bgm/01.wav"), soundfiles::toneWave(5.0));
    auto owned = realBackend(game.path(QStringLiteral("no-such.sf2")));
    DeferredAudioBackend &deferred = *owned;
    QTRY_VERIFY_WITH_TIMEOUT(deferred.isReady(), 20000);
    SdlAudioBackend *sdl = sdlBackend(deferred);
    QVERIFY(sdl);
    QVERIFY(!sdl->hasSynth());
    OwnWindow own(game, std::move(owned));
    QVERIFY(own.window.Form_Load());
    own.window.BgmTim->setEnabled(false);
    // The music is open and "plays" in silence, without restarts.
    QVERIFY(own.sound.isMusicOpen());
    own.sound.clearSent();
    for (int i = 0; i < 10; ++i)
        own.window.BgmTim_Timer();
    QCOMPARE(own.sound.sent(), QStringList(10, kStatus));
    own.window.NowBeast = QStringLiteral("01");
    own.window.Pic_Click();
    QVERIFY(sdl->isCryPlaying());
    QVERIFY(own.messages.shown.isEmpty());
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
