#include "core/fom.h"
#include "platform/gametimer.h"
#include "platform/sounddevice.h"
#include "sound/gameaudio.h"
#include "sound/midifile.h"
#include "sound/musicsynth.h"
#include "sound/soundfontsubset.h"
#include "support/gamefixture.h"
#include "tst_sound_files.h"

#include <QFile>
#include <QTest>

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <vector>

// The music engine rendered offline, with no audio device: the player only moves
// when the synth is rendered, so every step here is exact.
namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 512;  // what the audio device asks for at a time
constexpr double kBlockSeconds = double(kBlock) / kRate;

float peakOf(const std::vector<float> &samples)
{
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    return peak;
}

// Renders `seconds` of music and gives back its loudest sample.
float renderPeak(MusicSynth &synth, double seconds)
{
    std::vector<float> block(2 * kBlock);
    float peak = 0;
    for (int i = 0; i < int(seconds / kBlockSeconds); ++i) {
        synth.render(block.data(), kBlock);
        peak = std::max(peak, peakOf(block));
    }
    return peak;
}

// The game's music device over the engine, rendered by the test instead of a device.
class OfflineBackend final : public AudioBackend
{
public:
    explicit OfflineBackend(MusicSynth &synth)
        : m_synth(synth)
    {
    }
    bool openMusic(const QString &path) override { return m_synth.openFile(path); }
    void closeMusic() override { m_synth.close(); }
    void playMusic() override { m_synth.play(); }
    void seekMusicToStart() override { m_synth.seekToStart(); }
    bool isMusicPlaying() const override { return m_synth.isPlaying(); }
    void playCry(const QString &) override {}

private:
    MusicSynth &m_synth;
};

// Anything above this is clearly sound; rendering nothing gives exactly zero.
constexpr float kAudible = 1e-3f;

// Three notes of each preset, played and let go, on a synth that reads `soundFont`
// (a path, or with `cut` the name of a cut soundfont); also how many presets it has.
std::vector<float> playPresets(const QByteArray &soundFont, const QList<SoundFontSubset::Preset> &presets, bool cut,
                               int *presetCount)
{
    fluid_settings_t *settings = new_fluid_settings();
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
    fluid_synth_t *synth = new_fluid_synth(settings);
    if (cut) {
        fluid_sfloader_t *loader = new_fluid_defsfloader(settings);
        SoundFontSubset::installFor(loader);
        fluid_synth_add_sfloader(synth, loader);
    }
    const int id = fluid_synth_sfload(synth, soundFont.constData(), 1);
    std::vector<float> sound;
    *presetCount = 0;
    if (fluid_sfont_t *font = fluid_synth_get_sfont_by_id(synth, id)) {
        fluid_sfont_iteration_start(font);
        while (fluid_sfont_iteration_next(font))
            ++*presetCount;
        std::vector<float> block(2 * kBlock);
        for (const SoundFontSubset::Preset &preset : presets) {
            const int channel = preset.bank == 128 ? 9 : 0;
            fluid_synth_program_select(synth, channel, id, preset.bank, preset.program);
            for (int key : {36, 60, 79})
                fluid_synth_noteon(synth, channel, key, 100);
            for (int i = 0; i < 30; ++i) {
                if (i == 15)
                    fluid_synth_all_notes_off(synth, channel);
                fluid_synth_write_float(synth, kBlock, block.data(), 0, 2, block.data(), 1, 2);
                sound.insert(sound.end(), block.begin(), block.end());
            }
        }
    }
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return sound;
}

} // namespace

class TestFluidSynth : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void nothingIsHeardBeforePlay();
    void generatedMusicIsAudible();
    void endIsSeenAtTheLastEventAndNeverPromisedLater();
    void loopsUnderTheGamesPollingOncePerEnd();
    void theDeviceHearsTheLoopAsRenderedOffline();
    void restartAfterThePlayerGaveUpAlsoWorks();
    void badMusicIsRefusedAndNeverHandedOver_data();
    void badMusicIsRefusedAndNeverHandedOver();
    void theGamesOwnMusicIfItIsThere();
    void aCutSoundFontPlaysItsPresetsAsTheWholeFile();

private:
    std::unique_ptr<MusicSynth> makeSynth();
    QString m_soundFont;
};

void TestFluidSynth::initTestCase()
{
    m_soundFont = gameSoundFont();
    if (m_soundFont.isEmpty())
        QSKIP("no General MIDI soundfont installed (timgm6mb-soundfont)");
}

std::unique_ptr<MusicSynth> TestFluidSynth::makeSynth()
{
    auto synth = MusicSynth::create(m_soundFont, kRate);
    if (!synth)
        qFatal("the soundfont %s did not load", qPrintable(m_soundFont));
    return synth;
}

void TestFluidSynth::nothingIsHeardBeforePlay()
{
    auto synth = makeSynth();
    QVERIFY(synth->open(soundfiles::shortTune()));
    QVERIFY(!synth->isPlaying());
    QCOMPARE(renderPeak(*synth, 0.3), 0.0f);
    QCOMPARE(synth->currentTick(), 0);
}

void TestFluidSynth::generatedMusicIsAudible()
{
    auto synth = makeSynth();
    QVERIFY(synth->open(soundfiles::shortTune()));
    synth->play();
    QVERIFY(synth->isPlaying());
    const float peak = renderPeak(*synth, 0.5);
    QVERIFY2(peak > kAudible, qPrintable(QString::number(peak)));
    QVERIFY(synth->isPlaying());
    // The player reads the file at its first callback.
    QCOMPARE(synth->totalTicks(), 720);
    QVERIFY(synth->currentTick() > 0);
}

void TestFluidSynth::endIsSeenAtTheLastEventAndNeverPromisedLater()
{
    auto synth = makeSynth();
    QVERIFY(synth->open(soundfiles::shortTune()));
    synth->play();
    std::vector<float> block(2 * kBlock);
    int blocks = 0;
    // The music loop rests for as long as the synth says it will go on playing.
    double promisedUntil = 0;
    double longestPromise = 0;
    while (synth->isPlaying() && blocks < int(10 / kBlockSeconds)) {
        const double promise = double(synth->steadyFor().count()) / 1000;
        longestPromise = std::max(longestPromise, promise);
        promisedUntil = std::max(promisedUntil, blocks * kBlockSeconds + promise);
        synth->render(block.data(), kBlock);
        ++blocks;
    }
    // 0.75 s of music: stopped within a block of its last tick.
    const double seconds = blocks * kBlockSeconds;
    QVERIFY2(seconds >= 0.75 - kBlockSeconds && seconds <= 0.75 + 2 * kBlockSeconds,
             qPrintable(QString::number(seconds)));
    QVERIFY(synth->currentTick() >= synth->totalTicks());
    QVERIFY2(promisedUntil <= seconds, qPrintable(QStringLiteral("%1 > %2").arg(promisedUntil).arg(seconds)));
    // Enough to rest on for a good part of the tune.
    QVERIFY2(longestPromise >= 0.25, qPrintable(QString::number(longestPromise)));
    // Stopped or restarting, it may change at any moment.
    QCOMPARE(synth->steadyFor().count(), 0);
    synth->seekToStart();
    synth->play();
    QCOMPARE(synth->steadyFor().count(), 0);
}

namespace {

// The game's loop over the engine, as under the device: a buffer of 11.6 ms at a
// time, offline (float) or as the device takes it (16-bit), and the loop ticking
// every 7.5 ms of what was handed out (two ticks per buffer at times, to model
// the lag hard). What was handed out, and when restarts were sent.
struct LoopRun
{
    std::vector<float> heard;
    QList<double> restarts;
    bool onlyStatusOrRestart = true;  // each tick sent a status query, and a restart if any
};

LoopRun runTheLoop(MusicSynth &synth, bool asTheDevice, double seconds)
{
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), soundfiles::shortTune());
    ScriptedRandom random;
    ScriptedMessages messages;
    SoundDevice sound(std::make_unique<OfflineBackend>(synth));
    sound.setRecording(true);
    Fom w({game.dir(), &random, &messages, &sound});
    LoopRun run;
    if (!w.Form_Load() || !sound.isMusicOpen())
        return run;
    w.BgmTim->setEnabled(false);  // the test is the clock
    const QString restart = QStringLiteral("play MIDI from 0");
    std::vector<float> block(2 * kBlock);
    std::vector<std::int16_t> block16(2 * kBlock);
    double audioTime = 0;
    double nextTick = 0;
    while (audioTime < seconds) {
        if (asTheDevice) {
            synth.render(block16.data(), kBlock);
            std::transform(block16.begin(), block16.end(), block.begin(), [](std::int16_t v) { return v / 32768.0f; });
        } else {
            synth.render(block.data(), kBlock);
        }
        run.heard.insert(run.heard.end(), block.begin(), block.end());
        audioTime += kBlockSeconds;
        while (nextTick <= audioTime) {
            sound.clearSent();
            w.BgmTim_Timer();
            const QStringList status{QStringLiteral("status MIDI mode")};
            if (sound.sent().contains(restart)) {
                run.onlyStatusOrRestart &= sound.sent() == status + QStringList{QStringLiteral("seek MIDI to start"), restart};
                run.restarts << audioTime;
            } else {
                run.onlyStatusOrRestart &= sound.sent() == status;
            }
            nextTick += 0.015 / 2;
        }
    }
    return run;
}

} // namespace

void TestFluidSynth::loopsUnderTheGamesPollingOncePerEnd()
{
    auto synth = makeSynth();
    // The device renders 11.6 ms at a time and the loop ticks every 15 ms, so some
    // ticks come between a restart and the render that takes it up: exactly where
    // a second restart would slip in.
    const LoopRun run = runTheLoop(*synth, false, 4.0);
    QVERIFY(run.onlyStatusOrRestart);
    // 4 s of a 0.75 s tune: five ends, five restarts, each a full tune apart (no
    // hole of seconds, no second restart on the heels of the first).
    const QList<double> &restartTimes = run.restarts;
    QCOMPARE(restartTimes.size(), 5);
    QVERIFY2(std::fabs(restartTimes[0] - 0.75) <= 2 * kBlockSeconds, qPrintable(QString::number(restartTimes[0])));
    for (int i = 1; i < restartTimes.size(); ++i) {
        const double gap = restartTimes[i] - restartTimes[i - 1];
        QVERIFY2(gap >= 0.75 - kBlockSeconds && gap <= 0.75 + 2 * kBlockSeconds, qPrintable(QString::number(gap)));
    }
    // Each time round it is heard again.
    for (int i = 0; i + 1 < restartTimes.size(); ++i) {
        const auto from = run.heard.begin() + 2 * kBlock * std::lround(restartTimes[i] / kBlockSeconds);
        const auto to = run.heard.begin() + 2 * kBlock * std::lround(restartTimes[i + 1] / kBlockSeconds);
        QVERIFY2(peakOf(std::vector<float>(from, to)) > kAudible, qPrintable(QString::number(i)));
    }
    // Looped by seeking: the file was handed to the player once.
    QCOMPARE(synth->loads(), 1);
}

void TestFluidSynth::theDeviceHearsTheLoopAsRenderedOffline()
{
    // For the device the player runs some buffers ahead of what is heard: the
    // loop sees the end and restarts sooner, but what is heard, restarts and all,
    // is what one buffer at a time gives (but for 16-bit rounding and dither).
    auto offline = makeSynth();
    auto device = makeSynth();
    const LoopRun one = runTheLoop(*offline, false, 2.4);
    const LoopRun ahead = runTheLoop(*device, true, 2.4);
    QVERIFY(one.onlyStatusOrRestart && ahead.onlyStatusOrRestart);
    QCOMPARE(ahead.restarts.size(), one.restarts.size());
    QCOMPARE(ahead.heard.size(), one.heard.size());
    float worst = 0;
    for (std::size_t i = 0; i < one.heard.size(); ++i)
        worst = std::max(worst, std::fabs(one.heard[i] - ahead.heard[i]));
    QVERIFY2(worst <= 3.0f / 32768, qPrintable(QString::number(worst * 32768)));
}

void TestFluidSynth::restartAfterThePlayerGaveUpAlsoWorks()
{
    auto synth = makeSynth();
    QVERIFY(synth->open(soundfiles::shortTune()));
    synth->play();
    renderPeak(*synth, 5.0);  // long past the player's own end, some 3 s after the last note
    QVERIFY(!synth->isPlaying());
    synth->seekToStart();
    synth->play();
    // Playing at once, although the player has not yet been called back.
    QVERIFY(synth->isPlaying());
    QVERIFY(synth->currentTick() >= synth->totalTicks());
    const float peak = renderPeak(*synth, 0.3);
    QVERIFY2(peak > kAudible, qPrintable(QString::number(peak)));
    QVERIFY(synth->isPlaying());
    QVERIFY(synth->currentTick() < synth->totalTicks());
}

void TestFluidSynth::badMusicIsRefusedAndNeverHandedOver_data()
{
    using namespace soundfiles;
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("not music at all, just some words in a file\n");
    QTest::newRow("a wave") << toneWave(0.1);
    QTest::newRow("header only") << header(0, 1);
    QTest::newRow("track cut short") << (header(0, 1) + trackOfNotes({60, 64})).chopped(5);
    QTest::newRow("two tracks announced, one there") << header(1, 2) + trackOfNotes({60});
    QTest::newRow("data with no status before it") << header(0, 1) + chunk("MTrk", bytes({0x00, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00}));
    QTest::newRow("SMPTE time") << header(0, 1, 0xE728) + trackOfNotes({60});
}

void TestFluidSynth::badMusicIsRefusedAndNeverHandedOver()
{
    QFETCH(QByteArray, bytes);
    auto synth = makeSynth();
    QVERIFY(!synth->open(bytes));
    synth->play();
    synth->seekToStart();
    QVERIFY(!synth->isPlaying());
    QCOMPARE(renderPeak(*synth, 0.2), 0.0f);
    QCOMPARE(synth->loads(), 0);

    // Through the device: the open fails, so the status query answers nothing and
    // the loop, seeing no "stopped", never restarts (and never re-reads the file).
    GameFixture game;
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), bytes);
    ScriptedRandom random;
    ScriptedMessages messages;
    SoundDevice sound(std::make_unique<OfflineBackend>(*synth));
    sound.setRecording(true);
    Fom w({game.dir(), &random, &messages, &sound});
    QVERIFY(w.Form_Load());
    w.BgmTim->setEnabled(false);
    QVERIFY(!sound.isMusicOpen());
    QCOMPARE(sound.sendString(QStringLiteral("status MIDI mode")), QString());
    // A good file put there now is not picked up: nothing is read again on a tick.
    game.writeBytes(QStringLiteral("bgm/bgm.mid"), soundfiles::shortTune());
    sound.clearSent();
    for (int i = 0; i < 50; ++i) {
        synth->render(std::vector<float>(2 * kBlock).data(), kBlock);
        w.BgmTim_Timer();
    }
    QCOMPARE(sound.sent(), QStringList(50, QStringLiteral("status MIDI mode")));
    QCOMPARE(synth->loads(), 0);
}

void TestFluidSynth::theGamesOwnMusicIfItIsThere()
{
    const QString path = QStringLiteral(SHASHIN_BIN_DIR "/bgm/bgm.mid");
    if (!QFile::exists(path))
        QSKIP("the data set has no bgm/bgm.mid yet");
    QVERIFY2(!readPlayableMidi(path).isEmpty(), qPrintable(path));
    auto synth = makeSynth();
    QVERIFY(synth->openFile(path));
    synth->play();
    const float peak = renderPeak(*synth, 5.0);
    QVERIFY2(peak > kAudible, qPrintable(QString::number(peak)));
    QVERIFY(synth->totalTicks() > 0);
    // To its end (at most ten minutes of music) and round again, as the loop does it.
    std::vector<float> block(2 * kBlock);
    for (int i = 0; synth->isPlaying() && i < int(600 / kBlockSeconds); ++i)
        synth->render(block.data(), kBlock);
    QVERIFY(!synth->isPlaying());
    QVERIFY(synth->currentTick() >= synth->totalTicks());
    synth->seekToStart();
    synth->play();
    QVERIFY(synth->isPlaying());
    const float again = renderPeak(*synth, 5.0);
    QVERIFY2(again > kAudible, qPrintable(QString::number(again)));
    QVERIFY(synth->isPlaying());
    QCOMPARE(synth->loads(), 1);
}

void TestFluidSynth::aCutSoundFontPlaysItsPresetsAsTheWholeFile()
{
    // The game's instruments: piano and drums, flute, clarinet, harp, strings, bass.
    const QList<SoundFontSubset::Preset> presets{{0, 0}, {128, 0}, {0, 73}, {0, 71}, {0, 46}, {0, 48}, {0, 32}};
    auto subset = SoundFontSubset::read(m_soundFont);
    QVERIFY(subset);
    const QString cut = subset->cut(presets);
    QVERIFY(!cut.isEmpty());
    int wholeCount = 0;
    int cutCount = 0;
    const std::vector<float> whole = playPresets(QFile::encodeName(m_soundFont), presets, false, &wholeCount);
    const std::vector<float> fromCut = playPresets(cut.toUtf8(), presets, true, &cutCount);
    QCOMPARE(cutCount, presets.size());
    QVERIFY(wholeCount > cutCount);
    QVERIFY(peakOf(whole) > kAudible);
    QVERIFY(whole == fromCut);
    // Once the cut is gone, its name reads nothing.
    subset.reset();
    QVERIFY(playPresets(cut.toUtf8(), presets, true, &cutCount).empty());
}

QTEST_MAIN(TestFluidSynth)
#include "tst_fluidsynth.moc"
