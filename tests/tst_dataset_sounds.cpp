// The sounds the build writes beside the game: a cry for every creature,
// bgm/KEY.wav, and the music that loops while the window is open, bgm/bgm.mid.

#include "support/datafiles.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <cmath>

using namespace datafiles;

namespace {

constexpr int kCreatures = 30;

quint32 little(const QByteArray &bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}

quint32 big(const QByteArray &bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}

// ---------------------------------------------------------------------------

struct Wave
{
    QString fault; // empty when the file reads as 16-bit PCM
    int channels = 0;
    int rate = 0;
    QList<qint16> samples; // interleaved
    QByteArray data;

    double seconds() const { return channels && rate ? double(samples.size()) / channels / rate : 0.0; }
};

Wave readWave(const QByteArray &bytes)
{
    Wave wave;
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") {
        wave.fault = QStringLiteral("not a RIFF WAVE file");
        return wave;
    }
    if (little(bytes, 4, 4) != quint32(bytes.size() - 8)) {
        wave.fault = QStringLiteral("the RIFF size is not the file's");
        return wave;
    }
    bool format = false;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const quint32 size = little(bytes, at + 4, 4);
        const qsizetype body = at + 8;
        if (body + qsizetype(size) > bytes.size()) {
            wave.fault = QStringLiteral("the chunk \"%1\" runs past the end").arg(QString::fromLatin1(id));
            return wave;
        }
        if (id == "fmt ") {
            if (size < 16) {
                wave.fault = QStringLiteral("a short fmt chunk");
                return wave;
            }
            const quint32 tag = little(bytes, body, 2);
            wave.channels = int(little(bytes, body + 2, 2));
            wave.rate = int(little(bytes, body + 4, 4));
            const quint32 byteRate = little(bytes, body + 8, 4);
            const quint32 blockAlign = little(bytes, body + 12, 2);
            const quint32 bits = little(bytes, body + 14, 2);
            if (tag != 1 || bits != 16) {
                wave.fault = QStringLiteral("format %1 with %2 bits; the cries are 16-bit PCM (1)").arg(tag).arg(bits);
                return wave;
            }
            if (wave.channels < 1 || wave.channels > 2 || (wave.rate != 22050 && wave.rate != 44100)) {
                wave.fault = QStringLiteral("%1 channel(s) at %2 Hz").arg(wave.channels).arg(wave.rate);
                return wave;
            }
            if (blockAlign != quint32(2 * wave.channels) || byteRate != quint32(wave.rate) * blockAlign) {
                wave.fault = QStringLiteral("the block size or byte rate does not match the format");
                return wave;
            }
            format = true;
        } else if (id == "data") {
            if (!format) {
                wave.fault = QStringLiteral("the data comes before the format");
                return wave;
            }
            if (size % (2 * wave.channels) != 0) {
                wave.fault = QStringLiteral("the data holds a part of a sample");
                return wave;
            }
            wave.data = bytes.mid(body, size);
            for (quint32 i = 0; i < size; i += 2)
                wave.samples.append(qint16(little(bytes, body + i, 2)));
            return wave;
        }
        at = body + size + (size & 1);
    }
    wave.fault = QStringLiteral("no data chunk");
    return wave;
}

// ---------------------------------------------------------------------------

struct MidiTrack
{
    bool endsWell = false;   // an End of Track event, last, at the chunk's end
    qint64 end = 0;          // its tick
    qint64 lastNoteTick = 0; // the last note on or off
    QSet<int> programs;      // outside channel 10
    bool drums = false;      // notes on channel 10
    int notes = 0;
    int hanging = 0; // notes started and never ended
};

struct Midi
{
    QString fault;
    int format = -1;
    int division = 0;
    int announced = 0;
    QList<MidiTrack> tracks;
    QMap<qint64, quint32> tempos;                   // tick -> microseconds a quarter note
    QMap<qint64, std::pair<int, int>> signatures;   // tick -> beats, unit
};

bool readVariable(const QByteArray &bytes, qsizetype &at, qsizetype end, quint32 &value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (at >= end)
            return false;
        const quint8 byte = quint8(bytes.at(at++));
        value = value << 7 | (byte & 0x7F);
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

QString readTrack(const QByteArray &bytes, qsizetype at, qsizetype end, Midi &midi, MidiTrack &track)
{
    qint64 tick = 0;
    int running = 0;
    QHash<int, int> sounding; // channel << 8 | key -> count
    while (at < end) {
        quint32 delta;
        if (!readVariable(bytes, at, end, delta))
            return QStringLiteral("a broken delta time");
        tick += delta;
        if (at >= end)
            return QStringLiteral("an event cut off");
        int status = quint8(bytes.at(at));
        if (status & 0x80)
            ++at;
        else if (running)
            status = running;
        else
            return QStringLiteral("a running status with nothing before it");

        if (status == 0xFF) {
            running = 0;
            if (at >= end)
                return QStringLiteral("a meta event cut off");
            const int type = quint8(bytes.at(at++));
            quint32 size;
            if (!readVariable(bytes, at, end, size) || at + qsizetype(size) > end)
                return QStringLiteral("a meta event runs past the chunk");
            if (type == 0x51 && size == 3)
                midi.tempos.insert(tick, big(bytes, at, 3));
            if (type == 0x58 && size == 4)
                midi.signatures.insert(tick, {quint8(bytes.at(at)), 1 << quint8(bytes.at(at + 1))});
            at += size;
            if (type == 0x2F) {
                track.endsWell = at == end;
                track.end = tick;
                track.hanging = 0;
                for (const int count : std::as_const(sounding))
                    track.hanging += count;
                return track.endsWell ? QString() : QStringLiteral("events after the End of Track");
            }
        } else if (status == 0xF0 || status == 0xF7) {
            running = 0;
            quint32 size;
            if (!readVariable(bytes, at, end, size) || at + qsizetype(size) > end)
                return QStringLiteral("a system exclusive message runs past the chunk");
            at += size;
        } else if (status >= 0xF0) {
            return QStringLiteral("a system message (%1) in the file").arg(status, 2, 16);
        } else {
            running = status;
            const int kind = status & 0xF0;
            const int channel = (status & 0x0F) + 1;
            const int size = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
            if (at + size > end)
                return QStringLiteral("a channel message cut off");
            const int a = quint8(bytes.at(at));
            const int b = size > 1 ? quint8(bytes.at(at + 1)) : 0;
            at += size;
            if (kind == 0xC0 && channel != 10)
                track.programs.insert(a);
            const int id = channel << 8 | a;
            if (kind == 0x90 && b > 0) {
                ++sounding[id];
                ++track.notes;
                track.drums = track.drums || channel == 10;
                track.lastNoteTick = tick;
            } else if (kind == 0x80 || (kind == 0x90 && b == 0)) {
                if (sounding.value(id) > 0)
                    --sounding[id];
                track.lastNoteTick = tick;
            }
        }
    }
    return QStringLiteral("no End of Track event");
}

Midi readMidi(const QByteArray &bytes)
{
    Midi midi;
    if (bytes.size() < 14 || !bytes.startsWith("MThd") || big(bytes, 4, 4) != 6) {
        midi.fault = QStringLiteral("no MThd header chunk of 6 bytes");
        return midi;
    }
    midi.format = int(big(bytes, 8, 2));
    midi.announced = int(big(bytes, 10, 2));
    midi.division = int(big(bytes, 12, 2));
    if (midi.division == 0 || (midi.division & 0x8000)) {
        midi.fault = QStringLiteral("the division is not in ticks a quarter note");
        return midi;
    }
    qsizetype at = 14;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = big(bytes, at + 4, 4);
        const qsizetype body = at + 8;
        if (body + size > bytes.size()) {
            midi.fault = QStringLiteral("chunk %1 runs past the end of the file").arg(midi.tracks.size() + 1);
            return midi;
        }
        if (id == "MTrk") {
            MidiTrack track;
            const QString fault = readTrack(bytes, body, body + size, midi, track);
            if (!fault.isEmpty()) {
                midi.fault = QStringLiteral("track %1: %2").arg(midi.tracks.size() + 1).arg(fault);
                return midi;
            }
            midi.tracks.append(track);
        }
        at = body + size;
    }
    if (at != bytes.size())
        midi.fault = QStringLiteral("bytes after the last chunk");
    return midi;
}

// How long the music plays up to `tick`, by its tempo map (120 a minute until
// the first tempo, as a player takes it).
double secondsAt(const Midi &midi, qint64 tick)
{
    double seconds = 0.0;
    qint64 from = 0;
    quint32 tempo = 500000;
    for (auto it = midi.tempos.cbegin(); it != midi.tempos.cend() && it.key() < tick; ++it) {
        seconds += double(it.key() - from) * tempo / midi.division / 1e6;
        from = it.key();
        tempo = it.value();
    }
    return seconds + double(tick - from) * tempo / midi.division / 1e6;
}

} // namespace

class TestDatasetSounds : public QObject
{
    Q_OBJECT

private slots:
    void cry_data();
    void cry();
    void criesAllDiffer();
    void musicIsAStandardMidiFile();
    void musicHasItsInstruments();
    void musicLoopsOnABarLine();
};

void TestDatasetSounds::cry_data()
{
    QTest::addColumn<QString>("key");
    for (int creature = 0; creature < kCreatures; ++creature)
        QTest::newRow(qPrintable(key(creature))) << key(creature);
}

void TestDatasetSounds::cry()
{
    QFETCH(QString, key);
    const QByteArray bytes = readAll(binPath(QStringLiteral("bgm/%1.wav").arg(key)));
    QVERIFY2(!bytes.isEmpty(), "the cry is missing or empty");
    const Wave wave = readWave(bytes);
    QVERIFY2(wave.fault.isEmpty(), qPrintable(wave.fault));

    const double seconds = wave.seconds();
    QVERIFY2(seconds >= 0.3 && seconds <= 1.5, qPrintable(QStringLiteral("%1 s long").arg(seconds)));

    int peak = 0;
    double energy = 0.0;
    for (const qint16 sample : wave.samples) {
        peak = std::max(peak, std::abs(int(sample)));
        energy += double(sample) * sample;
    }
    const double rms = std::sqrt(energy / wave.samples.size());
    // Heard: its loudest moment is near full scale, and it is not one lone click.
    QVERIFY2(peak > 16000, qPrintable(QStringLiteral("the loudest sample is %1").arg(peak)));
    QVERIFY2(rms > 1000, qPrintable(QStringLiteral("the RMS level is only %1").arg(rms)));
    // Not clipped: nothing reaches full scale.
    QVERIFY2(peak < 32767, "samples at full scale: the cry is clipped");
    // Faded at both ends, so it starts and stops without a click.
    for (qsizetype i = 0; i < wave.channels; ++i) {
        QVERIFY2(std::abs(wave.samples.at(i)) < 300, "it starts with a click");
        QVERIFY2(std::abs(wave.samples.at(wave.samples.size() - 1 - i)) < 300, "it stops with a click");
    }
}

void TestDatasetSounds::criesAllDiffer()
{
    QHash<QByteArray, QString> seen;
    for (int creature = 0; creature < kCreatures; ++creature) {
        const Wave wave = readWave(readAll(binPath(QStringLiteral("bgm/%1.wav").arg(key(creature)))));
        QVERIFY2(wave.fault.isEmpty(), qPrintable(key(creature) + QStringLiteral(": ") + wave.fault));
        QVERIFY2(!seen.contains(wave.data),
                 qPrintable(QStringLiteral("%1 sounds just like %2").arg(key(creature), seen.value(wave.data))));
        seen.insert(wave.data, key(creature));
    }
}

void TestDatasetSounds::musicIsAStandardMidiFile()
{
    const QByteArray bytes = readAll(binPath(QStringLiteral("bgm/bgm.mid")));
    QVERIFY2(!bytes.isEmpty(), "bgm/bgm.mid is missing or empty");
    const Midi midi = readMidi(bytes);
    QVERIFY2(midi.fault.isEmpty(), qPrintable(midi.fault));
    QCOMPARE(midi.format, 1);
    QVERIFY2(midi.tracks.size() >= 4, qPrintable(QStringLiteral("%1 tracks").arg(midi.tracks.size())));
    QCOMPARE(midi.tracks.size(), midi.announced);
    for (qsizetype i = 0; i < midi.tracks.size(); ++i) {
        const MidiTrack &track = midi.tracks.at(i);
        const QByteArray where = QStringLiteral("track %1").arg(i + 1).toUtf8();
        QVERIFY2(track.endsWell, (where + " does not end with End of Track").constData());
        QVERIFY2(track.hanging == 0, (where + " leaves notes sounding").constData());
    }
}

void TestDatasetSounds::musicHasItsInstruments()
{
    const Midi midi = readMidi(readAll(binPath(QStringLiteral("bgm/bgm.mid"))));
    QVERIFY2(midi.fault.isEmpty(), qPrintable(midi.fault));
    QSet<int> programs;
    bool drums = false;
    int voiced = 0;
    for (const MidiTrack &track : midi.tracks) {
        programs += track.programs;
        drums = drums || track.drums;
        if (track.notes > 0)
            ++voiced;
    }
    QVERIFY2(programs.size() >= 4, qPrintable(QStringLiteral("%1 instruments").arg(programs.size())));
    QVERIFY2(drums, "no track plays the drums on channel 10");
    QVERIFY2(voiced >= 4, qPrintable(QStringLiteral("%1 tracks with notes").arg(voiced)));
}

void TestDatasetSounds::musicLoopsOnABarLine()
{
    const Midi midi = readMidi(readAll(binPath(QStringLiteral("bgm/bgm.mid"))));
    QVERIFY2(midi.fault.isEmpty(), qPrintable(midi.fault));
    QVERIFY2(!midi.tempos.isEmpty(), "no tempo");
    QVERIFY2(!midi.signatures.isEmpty(), "no time signature");
    QCOMPARE(midi.signatures.size(), 1);
    QCOMPARE(midi.signatures.firstKey(), 0);

    qint64 end = 0, lastNote = 0;
    for (const MidiTrack &track : midi.tracks) {
        end = std::max(end, track.end);
        lastNote = std::max(lastNote, track.lastNoteTick);
    }
    const double seconds = secondsAt(midi, end);
    QVERIFY2(seconds >= 60.0, qPrintable(QStringLiteral("%1 s long").arg(seconds)));

    const auto [beats, unit] = midi.signatures.first();
    const qint64 bar = qint64(midi.division) * 4 / unit * beats;
    QVERIFY2(end % bar == 0, qPrintable(QStringLiteral("it ends at tick %1, %2 ticks into a bar of %3")
                                            .arg(end)
                                            .arg(end % bar)
                                            .arg(bar)));
    // Every track ends there, and the music plays into its last bar: no
    // silence before it starts again.
    for (qsizetype i = 0; i < midi.tracks.size(); ++i)
        QVERIFY2(midi.tracks.at(i).end == end, qPrintable(QStringLiteral("track %1 ends at tick %2, not %3")
                                                               .arg(i + 1)
                                                               .arg(midi.tracks.at(i).end)
                                                               .arg(end)));
    QVERIFY2(lastNote == end, qPrintable(QStringLiteral("the last note ends at tick %1, before the end at %2")
                                             .arg(lastNote)
                                             .arg(end)));
}

QTEST_GUILESS_MAIN(TestDatasetSounds)
#include "tst_dataset_sounds.moc"
