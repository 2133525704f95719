#include "score.h"

#include "midi.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <bit>
#include <optional>

namespace datagen {

namespace {

constexpr int kDrumChannel = 10; // as players count them, 1 to 16

struct Dynamic
{
    const char *word;
    int velocity;
};
constexpr Dynamic kDynamics[] = {{"pp", 36}, {"p", 50}, {"mp", 64}, {"mf", 80}, {"f", 96}, {"ff", 112}};

// The General MIDI percussion keys a drum track can name.
struct Drum
{
    const char *word;
    int key;
};
constexpr Drum kDrums[] = {
    {"kick2", 35}, {"kick", 36},    {"rim", 37},    {"snare", 38},   {"clap", 39},  {"snare2", 40},
    {"ltom", 45},  {"mtom", 47},    {"htom", 50},   {"hat", 42},     {"phat", 44},  {"ohat", 46},
    {"crash", 49}, {"ride", 51},    {"bell", 53},   {"tamb", 54},    {"splash", 55}, {"cowbell", 56},
    {"bongo", 60}, {"lbongo", 61},  {"conga", 63},  {"lconga", 64},  {"cabasa", 69}, {"shaker", 70},
    {"claves", 75}, {"wood", 76},   {"lwood", 77},  {"mtri", 80},    {"tri", 81},
};

struct TrackSetup
{
    QString name;
    int line = 0;
    int channel = 0; // 1 to 16
    int program = 0; // 1 to 128, 0 for none
    int volume = 100;
    int pan = 64;
    int reverb = 40;
    int chorus = 0;
    int velocity = 80;
};

struct Note
{
    qint64 start = 0;
    qint64 length = 0;
    int key = 0;
    int velocity = 0;
};

// One track's music in one section.
struct Part
{
    int line = 0; // its first line
    QList<Note> notes;
    qint64 cursor = 0;
    int bars = 0;
    qint64 length = 0; // the last length written; later notes keep it
    int velocity = 0;
    QHash<int, qsizetype> tied; // key -> the note that goes on
    int tieLine = 0;
};

struct Section
{
    QString name;
    int line = 0;
    QStringList order; // tracks, as they first appear
    QHash<QString, Part> parts;
    int bars = 0;
    bool broken = false; // a fault was reported inside it
};

QString noteName(int key)
{
    static const char *names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return QString::fromLatin1(names[key % 12]) + QString::number(key / 12 - 1);
}

QString quarters(qint64 ticks)
{
    return QString::number(double(ticks) / kTicksPerQuarter);
}

QByteArray meta(int type, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(0xFF));
    bytes.append(char(type));
    bytes += variableLength(quint32(data.size()));
    return bytes + data;
}

QByteArray channelMessage(int status, int channel, int a, int b)
{
    QByteArray bytes;
    bytes.append(char(status | (channel - 1)));
    bytes.append(char(a));
    bytes.append(char(b));
    return bytes;
}

class ScoreReader
{
public:
    explicit ScoreReader(Issues &issues) : m_issues(issues) {}

    Song read(const QStringList &lines)
    {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            m_line = int(i) + 1;
            const QString text = withoutComment(lines.at(i));
            const QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
            if (!words.isEmpty())
                readLine(words, text);
        }
        finishSection();
        m_lastLine = qMax(1, int(lines.size()));
        return song();
    }

private:
    void fail(int line, const QString &message) { m_issues.append({line, message}); }
    void fail(const QString &message) { fail(m_line, message); }

    // "#" opens a comment at the start of a word; inside a word it is a sharp.
    static QString withoutComment(const QString &line)
    {
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line.at(i) == QLatin1Char('#') && (i == 0 || line.at(i - 1).isSpace()))
                return line.left(i);
        }
        return line;
    }

    std::optional<int> integer(const QString &word, const QString &what, int low, int high)
    {
        bool ok = false;
        const int value = word.toInt(&ok);
        if (!ok || value < low || value > high) {
            fail(QStringLiteral("%1 is a whole number from %2 to %3, not \"%4\"").arg(what).arg(low).arg(high).arg(word));
            return std::nullopt;
        }
        return value;
    }

    static std::optional<int> dynamic(const QString &word)
    {
        for (const Dynamic &d : kDynamics) {
            if (word == QLatin1String(d.word))
                return d.velocity;
        }
        return std::nullopt;
    }

    // w h q e s t: whole to thirty-second; "." after it adds half, "3" makes a triplet.
    static std::optional<qint64> length(const QString &word)
    {
        static const QRegularExpression pattern(QStringLiteral("^([whqest])([.3]?)$"));
        const auto match = pattern.match(word);
        if (!match.hasMatch())
            return std::nullopt;
        const QString base = QStringLiteral("whqest");
        qint64 ticks = qint64(kTicksPerQuarter) * 4 >> base.indexOf(match.captured(1));
        if (match.captured(2) == u".")
            ticks = ticks * 3 / 2;
        else if (match.captured(2) == u"3")
            ticks = ticks * 2 / 3;
        return ticks;
    }

    static std::optional<int> pitch(const QString &word)
    {
        static const QRegularExpression pattern(QStringLiteral("^([A-G])([#b]?)(-?[0-9])$"));
        const auto match = pattern.match(word);
        if (!match.hasMatch())
            return std::nullopt;
        static const int steps[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
        int key = steps[match.captured(1).at(0).unicode() - 'A'];
        if (match.captured(2) == u"#")
            ++key;
        else if (match.captured(2) == u"b")
            --key;
        key += (match.captured(3).toInt() + 1) * 12;
        if (key < 0 || key > 127)
            return std::nullopt;
        return key;
    }

    static std::optional<int> drum(const QString &word)
    {
        for (const Drum &d : kDrums) {
            if (word == QLatin1String(d.word))
                return d.key;
        }
        return std::nullopt;
    }

    void readLine(const QStringList &words, const QString &text)
    {
        const QString &keyword = words.first();
        if (keyword == u"title") {
            m_title = text.trimmed().mid(keyword.size()).trimmed();
        } else if (keyword == u"tempo") {
            if (words.size() != 2) {
                fail(QStringLiteral("\"tempo\" takes one number, quarter notes a minute"));
            } else if (const auto v = integer(words.at(1), QStringLiteral("the tempo"), 20, 300)) {
                m_tempo = *v;
            }
        } else if (keyword == u"time") {
            readTime(words);
        } else if (keyword == u"track") {
            readTrack(words);
        } else if (keyword == u"section") {
            finishSection();
            readSection(words);
        } else if (keyword == u"play") {
            finishSection();
            if (words.size() < 2)
                fail(QStringLiteral("\"play\" is followed by the sections in the order they are played"));
            for (const QString &name : words.mid(1))
                m_play.append({name, m_line});
        } else if (m_tracks.contains(keyword)) {
            readPart(keyword, text);
        } else if (!m_unknown.contains(keyword)) { // once is enough
            m_unknown.insert(keyword);
            fail(QStringLiteral("\"%1\" is neither a word of the score (title, tempo, time, track, section, play) "
                                "nor the name of a track")
                     .arg(keyword));
        }
    }

    void readTime(const QStringList &words)
    {
        static const QRegularExpression pattern(QStringLiteral("^([0-9]+)/([0-9]+)$"));
        const auto match = words.size() == 2 ? pattern.match(words.at(1)) : QRegularExpressionMatch();
        const int beats = match.captured(1).toInt();
        const int unit = match.captured(2).toInt();
        if (!match.hasMatch() || beats < 1 || beats > 16 || !QList<int>{2, 4, 8, 16}.contains(unit)) {
            fail(QStringLiteral("\"time\" is followed by a time signature such as 4/4, 3/4 or 6/8"));
            return;
        }
        if (m_beats > 0) {
            fail(QStringLiteral("a second time signature; the music keeps one from start to end"));
            return;
        }
        if (!m_sections.isEmpty()) {
            fail(QStringLiteral("the time signature comes before the first section"));
            return;
        }
        m_beats = beats;
        m_unit = unit;
    }

    void readTrack(const QStringList &words)
    {
        static const QRegularExpression namePattern(QStringLiteral("^[A-Za-z][A-Za-z0-9_-]*$"));
        static const QStringList reserved = {QStringLiteral("title"), QStringLiteral("tempo"), QStringLiteral("time"),
                                             QStringLiteral("track"), QStringLiteral("section"), QStringLiteral("play")};
        if (words.size() < 2 || !namePattern.match(words.at(1)).hasMatch() || reserved.contains(words.at(1))) {
            fail(QStringLiteral("\"track\" is followed by the track's name (letters, digits, - and _), then its settings"));
            return;
        }
        TrackSetup track;
        track.name = words.at(1);
        track.line = m_line;
        if (m_tracks.contains(track.name)) {
            fail(QStringLiteral("a second track named \"%1\"; the first is on line %2").arg(track.name).arg(m_tracks.value(track.name).line));
            return;
        }
        if (!m_sections.isEmpty() || m_section) {
            fail(QStringLiteral("tracks are set up before the first section"));
            return;
        }
        if ((words.size() - 2) % 2 != 0) {
            fail(QStringLiteral("a track's settings go in pairs: program 74 channel 1 volume 90 ..."));
            return;
        }
        for (qsizetype i = 2; i + 1 < words.size(); i += 2) {
            const QString &setting = words.at(i);
            const QString &value = words.at(i + 1);
            std::optional<int> v;
            if (setting == u"program") {
                if ((v = integer(value, QStringLiteral("a program (General MIDI instrument)"), 1, 128)))
                    track.program = *v;
            } else if (setting == u"channel") {
                if ((v = integer(value, QStringLiteral("a channel"), 1, 16)))
                    track.channel = *v;
            } else if (setting == u"volume") {
                if ((v = integer(value, QStringLiteral("the volume"), 0, 127)))
                    track.volume = *v;
            } else if (setting == u"pan") {
                if ((v = integer(value, QStringLiteral("the pan"), 0, 127)))
                    track.pan = *v;
            } else if (setting == u"reverb") {
                if ((v = integer(value, QStringLiteral("the reverb"), 0, 127)))
                    track.reverb = *v;
            } else if (setting == u"chorus") {
                if ((v = integer(value, QStringLiteral("the chorus"), 0, 127)))
                    track.chorus = *v;
            } else if (setting == u"velocity") {
                if ((v = dynamic(value)))
                    track.velocity = *v;
                else
                    fail(QStringLiteral("the velocity is a dynamic: pp, p, mp, mf, f or ff"));
            } else {
                fail(QStringLiteral("\"%1\" is not a track setting (program, channel, volume, pan, reverb, chorus, velocity)").arg(setting));
            }
        }
        if (track.channel == 0) {
            fail(QStringLiteral("the track \"%1\" has no channel").arg(track.name));
            return;
        }
        if (track.channel != kDrumChannel && track.program == 0) {
            fail(QStringLiteral("the track \"%1\" has no program; only channel 10, the drums, goes without").arg(track.name));
            return;
        }
        for (const TrackSetup &other : std::as_const(m_tracks)) {
            if (other.channel == track.channel) {
                fail(QStringLiteral("channel %1 is taken by the track \"%2\"").arg(track.channel).arg(other.name));
                return;
            }
        }
        m_tracks.insert(track.name, track);
        m_trackOrder.append(track.name);
    }

    void readSection(const QStringList &words)
    {
        if (words.size() != 2) {
            fail(QStringLiteral("\"section\" is followed by the section's name, one word"));
            return;
        }
        for (const Section &other : std::as_const(m_sections)) {
            if (other.name == words.at(1)) {
                fail(QStringLiteral("a second section named \"%1\"; the first is on line %2").arg(other.name).arg(other.line));
                return;
            }
        }
        if (m_beats == 0) {
            fail(QStringLiteral("the time signature (\"time 4/4\") comes before the first section"));
            return;
        }
        m_section = Section();
        m_section->name = words.at(1);
        m_section->line = m_line;
    }

    qint64 barTicks() const { return qint64(kTicksPerQuarter) * 4 / m_unit * m_beats; }

    void readPart(const QString &trackName, const QString &text)
    {
        if (!m_section) {
            fail(QStringLiteral("music for \"%1\" outside of any section").arg(trackName));
            return;
        }
        const TrackSetup &track = m_tracks[trackName];
        if (!m_section->parts.contains(trackName)) {
            Part part;
            part.line = m_line;
            part.velocity = track.velocity;
            m_section->parts.insert(trackName, part);
            m_section->order.append(trackName);
        }
        Part &part = m_section->parts[trackName];

        QStringList bars = text.trimmed().mid(trackName.size()).split(QLatin1Char('|'));
        if (!bars.isEmpty() && bars.first().trimmed().isEmpty())
            bars.removeFirst();
        if (!bars.isEmpty() && bars.last().trimmed().isEmpty())
            bars.removeLast();
        if (bars.isEmpty()) {
            fail(QStringLiteral("no bars for \"%1\"; bars are parted by |").arg(trackName));
            return;
        }
        for (const QString &bar : std::as_const(bars)) {
            ++part.bars;
            if (!readBar(track, part, bar.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))) {
                m_section->broken = true; // its bars no longer add up: no more faults from it
                part.tied.clear();
                return; // one fault a line is enough
            }
        }
    }

    bool readBar(const TrackSetup &track, Part &part, const QStringList &words)
    {
        const QString where = QStringLiteral("bar %1 of \"%2\" in section %3").arg(part.bars).arg(track.name, m_section->name);
        if (words.isEmpty()) {
            fail(where + QStringLiteral(" is empty; a bar of silence is written as a rest (r w)"));
            return false;
        }
        const bool drums = track.channel == kDrumChannel;
        const qint64 barStart = part.cursor;
        qsizetype i = 0;
        while (i < words.size()) {
            const QString &word = words.at(i++);
            if (const auto velocity = dynamic(word)) {
                part.velocity = *velocity;
                continue;
            }
            if (word == u"~") {
                fail(QStringLiteral("%1: a tie (~) follows a note and its length").arg(where));
                return false;
            }
            if (length(word)) {
                fail(QStringLiteral("%1: the length \"%2\" follows no note; it is written after one, as in \"C4 %2\"").arg(where, word));
                return false;
            }
            QList<int> keys;
            const bool rest = word == u"r";
            if (!rest) {
                for (const QString &name : word.split(QLatin1Char('+'))) {
                    std::optional<int> key = pitch(name);
                    if (!key && drums)
                        key = drum(name);
                    if (!key) {
                        if (!drums && drum(name))
                            fail(QStringLiteral("%1: \"%2\" is a drum, and \"%3\" is not on channel 10").arg(where, name, track.name));
                        else
                            fail(QStringLiteral("%1: \"%2\" is not a note; notes are written as C4, F#3, Bb5%3, rests as r, "
                                                "lengths as w h q e s t (with . or 3), dynamics as pp p mp mf f ff")
                                     .arg(where, name, drums ? QStringLiteral(", drums as kick, snare, hat, shaker, ...") : QString()));
                        return false;
                    }
                    if (keys.contains(*key)) {
                        fail(QStringLiteral("%1: \"%2\" twice in one chord").arg(where, name));
                        return false;
                    }
                    keys.append(*key);
                }
            }
            if (i < words.size()) {
                if (const auto ticks = length(words.at(i))) {
                    part.length = *ticks;
                    ++i;
                }
            }
            if (part.length == 0) {
                fail(QStringLiteral("%1: \"%2\" has no length; write one after it, as in \"%2 q\"").arg(where, word));
                return false;
            }
            bool tie = false;
            if (i < words.size() && words.at(i) == u"~") {
                if (rest) {
                    fail(QStringLiteral("%1: a rest cannot be tied").arg(where));
                    return false;
                }
                tie = true;
                ++i;
            }
            if (!play(part, keys, tie, where))
                return false;
        }
        const qint64 filled = part.cursor - barStart;
        if (filled != barTicks()) {
            fail(QStringLiteral("%1 holds %2 quarter notes; a bar of %3/%4 holds %5")
                     .arg(where, quarters(filled))
                     .arg(m_beats)
                     .arg(m_unit)
                     .arg(quarters(barTicks())));
            return false;
        }
        return true;
    }

    // The notes (or a rest, with no keys) at the part's cursor, carrying on the
    // ones tied from before.
    bool play(Part &part, const QList<int> &keys, bool tie, const QString &where)
    {
        for (auto it = part.tied.cbegin(); it != part.tied.cend(); ++it) {
            if (!keys.contains(it.key())) {
                fail(QStringLiteral("%1: the tie on line %2 holds %3 into the next note, which has no %3")
                         .arg(where)
                         .arg(part.tieLine)
                         .arg(noteName(it.key())));
                return false;
            }
        }
        // A little weight on the first beat of a bar, a little less between beats.
        const qint64 beat = qint64(kTicksPerQuarter) * 4 / m_unit;
        const qint64 inBar = part.cursor % barTicks();
        const int accent = inBar == 0 ? 6 : (inBar % beat != 0 ? -4 : 0);
        const int velocity = std::clamp(part.velocity + accent, 1, 127);

        QHash<int, qsizetype> tied;
        for (const int key : keys) {
            qsizetype index;
            if (part.tied.contains(key)) {
                index = part.tied.value(key);
                part.notes[index].length += part.length;
            } else {
                part.notes.append({part.cursor, part.length, key, velocity});
                index = part.notes.size() - 1;
            }
            if (tie)
                tied.insert(key, index);
        }
        part.tied = tied;
        if (tie)
            part.tieLine = m_line;
        part.cursor += part.length;
        return true;
    }

    void finishSection()
    {
        if (!m_section)
            return;
        Section section = *m_section;
        m_section.reset();
        // Kept even when faulty, so that "play" can still name it; the song
        // is not written while there are faults.
        m_sections.append(section);
        if (section.broken) // reported already
            return;
        if (section.order.isEmpty()) {
            fail(section.line, QStringLiteral("the section \"%1\" has no music").arg(section.name));
            return;
        }
        // The tracks that play another number of bars than most do are blamed.
        QHash<int, int> votes;
        for (const QString &name : std::as_const(section.order))
            ++votes[section.parts.value(name).bars];
        int bars = 0;
        for (auto it = votes.cbegin(); it != votes.cend(); ++it) {
            if (it.value() > votes.value(bars) || (it.value() == votes.value(bars) && it.key() > bars))
                bars = it.key();
        }
        m_sections.last().bars = bars;
        for (const QString &name : std::as_const(section.order)) {
            const Part &part = section.parts.value(name);
            if (part.bars != bars) {
                fail(part.line, QStringLiteral("\"%1\" plays %2 bars in section %3, where the other tracks play %4; every "
                                               "track of a section plays as many bars")
                                    .arg(name)
                                    .arg(part.bars)
                                    .arg(section.name)
                                    .arg(bars));
            }
            if (!part.tied.isEmpty()) {
                fail(part.tieLine, QStringLiteral("a tie at the end of section %1 leads nowhere; a tie ends within its section")
                                       .arg(section.name));
            }
        }
    }

    Song song()
    {
        if (m_tempo == 0)
            fail(m_lastLine, QStringLiteral("no tempo; write one, as in \"tempo 80\" (quarter notes a minute)"));
        if (m_beats == 0)
            fail(m_lastLine, QStringLiteral("no time signature; write one, as in \"time 4/4\""));
        if (m_trackOrder.isEmpty())
            fail(m_lastLine, QStringLiteral("no tracks; set one up, as in \"track flute program 74 channel 1\""));
        if (m_play.isEmpty())
            fail(m_lastLine, QStringLiteral("no \"play\" line; it names the sections in the order they are played"));

        QList<const Section *> order;
        for (const auto &played : std::as_const(m_play)) {
            const QString &name = played.first;
            const auto found = std::find_if(m_sections.cbegin(), m_sections.cend(), [&](const Section &s) { return s.name == name; });
            if (found == m_sections.cend())
                fail(played.second, QStringLiteral("there is no section \"%1\"").arg(name));
            else
                order.append(&*found);
        }
        if (!m_issues.isEmpty())
            return {};

        Song song;
        song.tempo = m_tempo;
        song.beatsPerBar = m_beats;
        song.beatUnit = m_unit;

        QList<MidiEvent> conductor;
        conductor.append({0, 0, meta(0x03, m_title.toUtf8())});
        QByteArray signature;
        signature.append(char(m_beats));
        signature.append(char(std::countr_zero(unsigned(m_unit))));
        signature.append(char(24)); // clocks a metronome click
        signature.append(char(8));  // thirty-seconds a quarter note
        conductor.append({0, 0, meta(0x58, signature)});
        const quint32 microseconds = quint32(60000000 / m_tempo);
        QByteArray tempo;
        tempo.append(char(microseconds >> 16));
        tempo.append(char(microseconds >> 8));
        tempo.append(char(microseconds));
        conductor.append({0, 0, meta(0x51, tempo)});
        song.tracks.append(conductor);

        for (const QString &name : std::as_const(m_trackOrder)) {
            const TrackSetup &track = m_tracks.value(name);
            QList<MidiEvent> events;
            events.append({0, 0, meta(0x03, name.toUtf8())});
            events.append({0, 0, channelMessage(0xB0, track.channel, 121, 0)}); // reset controllers
            if (track.program > 0) {
                QByteArray change;
                change.append(char(0xC0 | (track.channel - 1)));
                change.append(char(track.program - 1));
                events.append({0, 0, change});
            }
            events.append({0, 0, channelMessage(0xB0, track.channel, 7, track.volume)});
            events.append({0, 0, channelMessage(0xB0, track.channel, 10, track.pan)});
            events.append({0, 0, channelMessage(0xB0, track.channel, 91, track.reverb)});
            events.append({0, 0, channelMessage(0xB0, track.channel, 93, track.chorus)});

            qint64 offset = 0;
            for (const Section *section : std::as_const(order)) {
                for (const Note &note : section->parts.value(name).notes) {
                    events.append({offset + note.start, 2, channelMessage(0x90, track.channel, note.key, note.velocity)});
                    events.append({offset + note.start + note.length, 1, channelMessage(0x80, track.channel, note.key, 64)});
                }
                offset += section->bars * barTicks();
            }
            song.tracks.append(events);
            song.length = offset;
        }
        return song;
    }

    Issues &m_issues;
    int m_line = 0;
    int m_lastLine = 1;
    QString m_title;
    int m_tempo = 0;
    int m_beats = 0;
    int m_unit = 0;
    QHash<QString, TrackSetup> m_tracks;
    QStringList m_trackOrder;
    std::optional<Section> m_section;
    QList<Section> m_sections;
    QList<std::pair<QString, int>> m_play;
    QSet<QString> m_unknown;
};

} // namespace

Song parseScore(const QStringList &lines, Issues &issues)
{
    Issues found;
    Song song = ScoreReader(found).read(lines);
    issues += found;
    return found.isEmpty() ? song : Song();
}

} // namespace datagen
