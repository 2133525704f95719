#include "cries.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>

namespace datagen {

namespace {

// ---------------------------------------------------------------------------
// Reading the recipes

QString twoDigits(int key)
{
    return QStringLiteral("%1").arg(key, 2, 10, QLatin1Char('0'));
}

QString seconds(double s)
{
    return QString::number(s) + QStringLiteral(" s");
}

// What one keyword takes: how many numbers, and the range of each.
struct Range
{
    double low;
    double high;
};

class RecipeReader
{
public:
    explicit RecipeReader(Issues &issues) : m_issues(issues) {}

    void read(const QStringList &lines)
    {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            m_line = int(i) + 1;
            QString text = lines.at(i);
            const qsizetype hash = text.indexOf(QLatin1Char('#'));
            if (hash >= 0)
                text.truncate(hash);
            const QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
            if (!words.isEmpty())
                readLine(words);
        }
        finishCry();
        m_lastLine = qMax(1, int(lines.size()));
    }

    QList<CryRecipe> recipes()
    {
        QList<CryRecipe> sorted = m_recipes;
        std::sort(sorted.begin(), sorted.end(), [](const CryRecipe &a, const CryRecipe &b) { return a.key < b.key; });
        QStringList missing;
        for (int key = 0; key < kCreatureCount; ++key) {
            if (!m_keyLines.contains(key)) // a recipe with faults has been blamed already
                missing.append(twoDigits(key));
        }
        if (!missing.isEmpty()) {
            fail(m_lastLine, QStringLiteral("no recipe for the creature(s) %1; every key from 00 to %2 has a cry")
                                 .arg(missing.join(QStringLiteral(", ")), twoDigits(kCreatureCount - 1)));
        }
        return sorted;
    }

private:
    void fail(int line, const QString &message) { m_issues.append({line, message}); }
    void fail(const QString &message) { fail(m_line, message); }

    // The numbers after the keyword, between `least` and ranges.size() of
    // them, each within its range. Empty optional after a fault.
    std::optional<QList<double>> numbers(const QStringList &words, qsizetype least, const QList<Range> &ranges)
    {
        const QString &keyword = words.first();
        const qsizetype count = words.size() - 1;
        if (count < least || count > ranges.size()) {
            const QString wanted = least == ranges.size() ? QString::number(least)
                                                          : QStringLiteral("%1 to %2").arg(least).arg(ranges.size());
            fail(QStringLiteral("\"%1\" takes %2 number(s), not %3").arg(keyword, wanted).arg(count));
            return std::nullopt;
        }
        QList<double> values;
        for (qsizetype i = 1; i < words.size(); ++i) {
            bool ok = false;
            const double value = words.at(i).toDouble(&ok);
            if (!ok || !std::isfinite(value)) {
                fail(QStringLiteral("\"%1\" after \"%2\" is not a number").arg(words.at(i), keyword));
                return std::nullopt;
            }
            const Range &range = ranges.at(i - 1);
            if (value < range.low || value > range.high) {
                static const char *const ordinals[] = {"1st", "2nd", "3rd"};
                const QString which = ranges.size() == 1 ? QString()
                                      : i <= 3           ? QStringLiteral("the ") + QLatin1String(ordinals[i - 1]) + QStringLiteral(" number of ")
                                                         : QStringLiteral("the %1th number of ").arg(i);
                fail(QStringLiteral("%1\"%2\" goes from %3 to %4, not %5")
                         .arg(which, keyword)
                         .arg(range.low)
                         .arg(range.high)
                         .arg(words.at(i)));
                return std::nullopt;
            }
            values.append(value);
        }
        return values;
    }

    // Lists of any length (steps, harmonics).
    std::optional<QList<double>> list(const QStringList &words, qsizetype least, qsizetype most, Range range)
    {
        return numbers(words, least, QList<Range>(qMin(most, qMax(least, words.size() - 1)), range));
    }

    void readLine(const QStringList &words)
    {
        const QString keyword = words.first();
        if (keyword == u"cry") {
            startCry(words);
            return;
        }
        if (!m_cry) {
            fail(QStringLiteral("\"%1\" before any \"cry KEY\" line").arg(keyword));
            return;
        }
        if (keyword == u"length") {
            if (const auto v = numbers(words, 1, {{kMinCryLength, kMaxCryLength}}))
                m_cry->length = v->at(0);
        } else if (keyword == u"echo") {
            if (const auto v = numbers(words, 2, {{0.02, 1.0}, {0.0, 0.9}})) {
                m_cry->echoDelay = v->at(0);
                m_cry->echoFeedback = v->at(1);
            }
        } else if (keyword == u"room") {
            if (const auto v = numbers(words, 2, {{0.0, 1.0}, {0.0, 1.0}})) {
                m_cry->roomSize = v->at(0);
                m_cry->roomMix = v->at(1);
            }
        } else if (keyword == u"voice") {
            startVoice(words);
        } else {
            readVoiceLine(words);
        }
    }

    void startCry(const QStringList &words)
    {
        finishCry();
        m_cry = CryRecipe();
        m_cry->line = m_line;
        static const QRegularExpression twoDigitKey(QStringLiteral("^[0-9]{2}$"));
        const bool ok = words.size() >= 2 && twoDigitKey.match(words.at(1)).hasMatch()
                        && words.at(1).toInt() < kCreatureCount;
        if (!ok) {
            fail(QStringLiteral("\"cry\" is followed by the creature's key, two digits from 00 to %1")
                     .arg(twoDigits(kCreatureCount - 1)));
            return;
        }
        const int key = words.at(1).toInt();
        if (m_keyLines.contains(key)) {
            fail(QStringLiteral("a second recipe for %1; the first is on line %2").arg(twoDigits(key)).arg(m_keyLines.value(key)));
            return;
        }
        m_keyLines.insert(key, m_line);
        m_cry->key = key;
    }

    void startVoice(const QStringList &words)
    {
        static const QHash<QString, Wave> waves = {{QStringLiteral("sine"), Wave::Sine},
                                                   {QStringLiteral("square"), Wave::Square},
                                                   {QStringLiteral("saw"), Wave::Saw},
                                                   {QStringLiteral("triangle"), Wave::Triangle},
                                                   {QStringLiteral("noise"), Wave::Noise}};
        CryVoice voice;
        voice.line = m_line;
        if (words.size() < 2 || !waves.contains(words.at(1))) {
            fail(QStringLiteral("\"voice\" is followed by a waveform: sine, square, saw, triangle or noise"));
        } else {
            voice.wave = waves.value(words.at(1));
            QStringList rest = words.mid(1);
            if (const auto v = numbers(rest, 0, {{0.0, 1.0}}); v && !v->isEmpty())
                voice.gain = v->at(0);
        }
        m_cry->voices.append(voice);
    }

    void readVoiceLine(const QStringList &words)
    {
        const QString keyword = words.first();
        static const QStringList known = {QStringLiteral("at"),        QStringLiteral("len"),      QStringLiteral("pitch"),
                                          QStringLiteral("steps"),     QStringLiteral("notes"),    QStringLiteral("syllables"), QStringLiteral("jitter"),
                                          QStringLiteral("env"),       QStringLiteral("vibrato"),  QStringLiteral("tremolo"),
                                          QStringLiteral("noise"),     QStringLiteral("fm"),       QStringLiteral("harmonics"),
                                          QStringLiteral("detune"),    QStringLiteral("lowpass"),  QStringLiteral("highpass"),
                                          QStringLiteral("resonance")};
        if (!known.contains(keyword)) {
            fail(QStringLiteral("\"%1\" is not a word of a recipe (see the top of the file)").arg(keyword));
            return;
        }
        if (m_cry->voices.isEmpty()) {
            fail(QStringLiteral("\"%1\" before any \"voice\" line of this cry").arg(keyword));
            return;
        }
        CryVoice &voice = m_cry->voices.last();
        const bool tonal = voice.wave != Wave::Noise;
        const bool sine = voice.wave == Wave::Sine;
        auto onlyFor = [&](bool allowed, const char *what) {
            if (!allowed)
                fail(QStringLiteral("\"%1\" shapes %2 only").arg(keyword, QLatin1String(what)));
            return allowed;
        };
        constexpr Range hz{20.0, 10000.0};
        if (keyword == u"pitch" || keyword == u"steps" || keyword == u"notes") {
            const char *other = !voice.notes.isEmpty() ? "notes" : !voice.steps.isEmpty() ? "steps" : voice.pitched ? "pitch" : nullptr;
            if (other) {
                fail(QStringLiteral("\"%1\" after \"%2\"; a voice's pitch is given once, by pitch, steps or notes")
                         .arg(keyword, QLatin1String(other)));
                return;
            }
        }

        if (keyword == u"at") {
            if (const auto v = numbers(words, 1, {{0.0, kMaxCryLength}}))
                voice.at = v->at(0);
        } else if (keyword == u"len") {
            if (const auto v = numbers(words, 1, {{0.005, kMaxCryLength}}))
                voice.len = v->at(0);
        } else if (keyword == u"pitch") {
            static const QHash<QString, Glide> glides = {{QStringLiteral("exp"), Glide::Exp},
                                                         {QStringLiteral("lin"), Glide::Lin},
                                                         {QStringLiteral("arc"), Glide::Arc}};
            QStringList numeric = words;
            Glide glide = Glide::Exp;
            if (words.size() == 4) {
                if (!glides.contains(words.at(3))) {
                    fail(QStringLiteral("\"%1\" is not a glide; exp, lin or arc").arg(words.at(3)));
                    return;
                }
                glide = glides.value(words.at(3));
                numeric.removeLast();
            }
            if (const auto v = numbers(numeric, 1, {hz, hz})) {
                voice.pitched = true;
                voice.pitchFrom = v->at(0);
                voice.pitchTo = v->size() > 1 ? v->at(1) : v->at(0);
                voice.glide = glide;
            }
        } else if (keyword == u"steps") {
            if (const auto v = list(words, 2, 16, hz)) {
                voice.pitched = true;
                voice.steps = *v;
            }
        } else if (keyword == u"notes") {
            if (const auto v = list(words, 2, 16, hz)) {
                voice.pitched = true;
                voice.notes = *v;
            }
        } else if (keyword == u"syllables") {
            if (const auto v = numbers(words, 1, {{1, 32}, {-1.0, 1.0}, {0.25, 4.0}, {0.0, 2.0}})) {
                if (v->at(0) != std::floor(v->at(0))) {
                    fail(QStringLiteral("\"syllables\": the count is a whole number"));
                    return;
                }

                voice.syllables = int(v->at(0));
                voice.gap = v->value(1, 0.0);
                voice.pitchRatio = v->value(2, 1.0);
                voice.gainRatio = v->value(3, 1.0);
            }
        } else if (keyword == u"jitter") {
            if (const auto v = numbers(words, 1, {{0.0, 12.0}}))
                voice.jitter = v->at(0);
        } else if (keyword == u"env") {
            if (const auto v = numbers(words, 4, {{0.0, 2.0}, {0.0, 2.0}, {0.0, 1.0}, {0.0, 2.0}})) {
                voice.attack = v->at(0);
                voice.decay = v->at(1);
                voice.sustain = v->at(2);
                voice.release = v->at(3);
            }
        } else if (keyword == u"vibrato") {
            if (const auto v = numbers(words, 2, {{0.0, 40.0}, {0.0, 12.0}})) {
                voice.vibratoRate = v->at(0);
                voice.vibratoDepth = v->at(1);
            }
        } else if (keyword == u"tremolo") {
            if (const auto v = numbers(words, 2, {{0.0, 80.0}, {0.0, 1.0}})) {
                voice.tremoloRate = v->at(0);
                voice.tremoloDepth = v->at(1);
            }
        } else if (keyword == u"noise") {
            if (onlyFor(tonal, "a voice with a tone"))
                if (const auto v = numbers(words, 1, {{0.0, 1.0}}))
                    voice.noise = v->at(0);
        } else if (keyword == u"fm") {
            if (onlyFor(sine, "a sine voice"))
                if (const auto v = numbers(words, 2, {{0.1, 16.0}, {0.0, 20.0}, {0.0, 20.0}})) {
                    voice.fmRatio = v->at(0);
                    voice.fmIndexFrom = v->at(1);
                    voice.fmIndexTo = v->value(2, v->at(1));
                }
        } else if (keyword == u"harmonics") {
            if (onlyFor(sine, "a sine voice"))
                if (const auto v = list(words, 1, 8, {0.0, 1.0}))
                    voice.harmonics = *v;
        } else if (keyword == u"detune") {
            if (onlyFor(tonal, "a voice with a tone"))
                if (const auto v = numbers(words, 1, {{0.0, 100.0}}))
                    voice.detune = v->at(0);
        } else if (keyword == u"lowpass") {
            if (const auto v = numbers(words, 1, {hz, hz})) {
                voice.lowpassFrom = v->at(0);
                voice.lowpassTo = v->value(1, v->at(0));
            }
        } else if (keyword == u"highpass") {
            if (const auto v = numbers(words, 1, {hz}))
                voice.highpass = v->at(0);
        } else if (keyword == u"resonance") {
            if (const auto v = numbers(words, 1, {{0.5, 20.0}}))
                voice.resonance = v->at(0);
        }
    }

    void finishCry()
    {
        if (!m_cry)
            return;
        CryRecipe cry = *m_cry;
        m_cry.reset();
        if (cry.key < 0)
            return; // its "cry" line was reported already
        bool ok = true;
        if (cry.length <= 0.0) {
            fail(cry.line, QStringLiteral("the cry of %1 has no \"length\"").arg(twoDigits(cry.key)));
            ok = false;
        }
        if (cry.voices.isEmpty()) {
            fail(cry.line, QStringLiteral("the cry of %1 has no \"voice\"").arg(twoDigits(cry.key)));
            ok = false;
        }
        for (const CryVoice &voice : std::as_const(cry.voices)) {
            if (voice.syllables > 1 && voice.gap <= -voice.len) {
                fail(voice.line, QStringLiteral("a gap of %1 between syllables of %2 would start each one before the one "
                                                "it follows")
                                     .arg(seconds(voice.gap), seconds(voice.len)));
                ok = false;
            }
            if (cry.length > 0.0 && voice.end() > cry.length + 1e-9) {
                fail(voice.line, QStringLiteral("this voice ends at %1, after the cry's length of %2")
                                     .arg(seconds(voice.end()), seconds(cry.length)));
                ok = false;
            }
        }
        if (ok)
            m_recipes.append(cry);
    }

    Issues &m_issues;
    int m_line = 0;
    int m_lastLine = 1;
    std::optional<CryRecipe> m_cry;
    QHash<int, int> m_keyLines;
    QList<CryRecipe> m_recipes;
};

// ---------------------------------------------------------------------------
// Synthesis

constexpr double kPi = std::numbers::pi;
constexpr double kRate = kCrySampleRate;

// A small fixed-seed generator, so the noise is the same on every run.
class Noise
{
public:
    explicit Noise(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        // splitmix64
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Evenly from -1 to 1.
    double uniform() { return double(next() >> 11) * (2.0 / 9007199254740992.0) - 1.0; }

private:
    std::uint64_t m_state;
};

// A state-variable filter (trapezoidal), steady at any cutoff below Nyquist.
class Filter
{
public:
    struct Out
    {
        double low, band, high;
    };
    Out process(double in, double cutoff, double q)
    {
        cutoff = std::clamp(cutoff, 10.0, 0.45 * kRate);
        const double g = std::tan(kPi * cutoff / kRate);
        const double k = 1.0 / q;
        const double a1 = 1.0 / (1.0 + g * (g + k));
        const double a2 = g * a1;
        const double a3 = g * a2;
        const double v3 = in - m_ic2;
        const double v1 = a1 * m_ic1 + a2 * v3;
        const double v2 = m_ic2 + a2 * m_ic1 + a3 * v3;
        m_ic1 = 2.0 * v1 - m_ic1;
        m_ic2 = 2.0 * v2 - m_ic2;
        return {v2, v1 * k, in - k * v1 - v2};
    }

private:
    double m_ic1 = 0.0, m_ic2 = 0.0;
};

// The correction that takes the step out of a sawtooth or square at the wrap,
// so high notes do not fold back as whistles.
double polyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

class Oscillator
{
public:
    double next(const CryVoice &voice, double frequency, double fmIndex)
    {
        const double dt = std::min(frequency / kRate, 0.49);
        double out = 0.0;
        switch (voice.wave) {
        case Wave::Sine: {
            double modulation = 0.0;
            if (voice.fmRatio > 0.0) {
                modulation = fmIndex * std::sin(2.0 * kPi * m_modPhase);
                m_modPhase += voice.fmRatio * dt;
                m_modPhase -= std::floor(m_modPhase);
            }
            out = std::sin(2.0 * kPi * m_phase + modulation);
            for (qsizetype h = 0; h < voice.harmonics.size(); ++h) {
                const double n = double(h + 2);
                if (n * frequency < 0.45 * kRate)
                    out += voice.harmonics.at(h) * std::sin(2.0 * kPi * n * m_phase + modulation);
            }
            break;
        }
        case Wave::Square:
            out = (m_phase < 0.5 ? 1.0 : -1.0) + polyBlep(m_phase, dt) - polyBlep(std::fmod(m_phase + 0.5, 1.0), dt);
            out *= 0.7;
            break;
        case Wave::Saw:
            out = (2.0 * m_phase - 1.0) - polyBlep(m_phase, dt);
            out *= 0.7;
            break;
        case Wave::Triangle:
            out = 4.0 * std::fabs(m_phase - 0.5) - 1.0;
            break;
        case Wave::Noise:
            break;
        }
        m_phase += dt;
        m_phase -= std::floor(m_phase);
        return out;
    }

private:
    double m_phase = 0.0;
    double m_modPhase = 0.0;
};

double mix(double from, double to, double u) { return from + (to - from) * u; }

double glide(double from, double to, Glide how, double u)
{
    if (how == Glide::Arc)
        u = 1.0 - std::fabs(2.0 * u - 1.0);
    if (how == Glide::Lin)
        return mix(from, to, u);
    return from * std::pow(to / from, u);
}

// Attack, decay, sustain and a release that closes the syllable at `len`.
double envelope(const CryVoice &voice, double t, double len)
{
    double attack = voice.attack;
    double release = voice.release;
    if (attack + release > len) {
        const double scale = len / (attack + release);
        attack *= scale;
        release *= scale;
    }
    const double releaseStart = len - release;
    double level;
    if (t < attack)
        level = t / attack;
    else if (t < attack + voice.decay)
        level = mix(1.0, voice.sustain, (t - attack) / voice.decay);
    else
        level = voice.sustain;
    if (t >= releaseStart && release > 0.0) {
        // from wherever the level stood when the release began
        const double held = releaseStart < attack                 ? releaseStart / std::max(attack, 1e-9)
                            : releaseStart < attack + voice.decay ? mix(1.0, voice.sustain, (releaseStart - attack) / voice.decay)
                                                                  : voice.sustain;
        level = held * std::max(0.0, 1.0 - (t - releaseStart) / release);
    }
    // Curved a little: softer starts, more natural dying away.
    return level * level * (3.0 - 2.0 * level) * 0.5 + level * 0.5;
}

void renderVoice(const CryVoice &voice, std::uint64_t seed, std::vector<double> &out)
{
    Noise noise(seed);
    Noise chance(seed ^ 0xA5A5A5A5A5A5A5A5ull);
    const int count = int(std::lround(voice.len * kRate));
    for (int s = 0; s < voice.syllables; ++s) {
        const double start = voice.at + s * (voice.len + voice.gap);
        const qsizetype first = std::lround(start * kRate);
        double pitchScale = std::pow(voice.pitchRatio, s);
        if (!voice.notes.isEmpty())
            pitchScale *= voice.notes.at(s % voice.notes.size());
        if (voice.jitter > 0.0)
            pitchScale *= std::pow(2.0, voice.jitter * chance.uniform() / 12.0);
        const double gain = voice.gain * std::pow(voice.gainRatio, s);

        Oscillator tone, twin;
        Filter band, low, high;
        // Steps glide over a few milliseconds: a jump in pitch would click.
        const double glideRate = 1.0 - std::exp(-1.0 / (0.004 * kRate));
        double stepped = voice.steps.isEmpty() ? 0.0 : voice.steps.first();
        for (int i = 0; i < count; ++i) {
            const qsizetype at = first + i;
            if (at < 0 || at >= qsizetype(out.size()))
                break;
            const double t = i / kRate;
            const double u = double(i) / count;

            double frequency = voice.notes.isEmpty() ? 440.0 : 1.0;
            if (!voice.steps.isEmpty()) {
                const double target = voice.steps.at(std::min<qsizetype>(qsizetype(u * voice.steps.size()), voice.steps.size() - 1));
                stepped += (target - stepped) * glideRate;
                frequency = stepped;
            }
            else if (voice.pitched && voice.notes.isEmpty())
                frequency = glide(voice.pitchFrom, voice.pitchTo, voice.glide, u);
            frequency *= pitchScale;
            if (voice.vibratoDepth > 0.0)
                frequency *= std::pow(2.0, voice.vibratoDepth / 12.0 * std::sin(2.0 * kPi * voice.vibratoRate * t));

            double sample;
            if (voice.wave == Wave::Noise) {
                sample = noise.uniform();
                if (voice.pitched)
                    sample = band.process(sample, frequency, voice.resonance * 4.0).band * std::sqrt(voice.resonance * 4.0) * 1.5;
            } else {
                const double index = mix(voice.fmIndexFrom, voice.fmIndexTo, u);
                sample = tone.next(voice, frequency, index);
                if (voice.detune > 0.0) {
                    sample += twin.next(voice, frequency * std::pow(2.0, voice.detune / 1200.0), index);
                    sample *= 0.6;
                }
                if (voice.noise > 0.0)
                    sample = sample * (1.0 - voice.noise) + noise.uniform() * voice.noise;
            }
            if (voice.lowpassFrom > 0.0)
                sample = low.process(sample, voice.lowpassFrom * std::pow(voice.lowpassTo / voice.lowpassFrom, u), voice.resonance).low;
            if (voice.highpass > 0.0)
                sample = high.process(sample, voice.highpass, voice.resonance).high;

            double level = envelope(voice, t, voice.len) * gain;
            if (voice.tremoloDepth > 0.0)
                level *= 1.0 - voice.tremoloDepth * (0.5 - 0.5 * std::cos(2.0 * kPi * voice.tremoloRate * t));
            out[at] += sample * level;
        }
    }
}

// Repeats of the whole cry, each one a little duller than the last.
void addEcho(std::vector<double> &samples, double delay, double feedback)
{
    const qsizetype d = std::lround(delay * kRate);
    double dull = 0.0;
    for (qsizetype i = d; i < qsizetype(samples.size()); ++i) {
        dull += 0.5 * (samples[i - d] - dull);
        samples[i] += feedback * dull;
    }
}

// A small room: four combs and two all-passes.
void addRoom(std::vector<double> &samples, double size, double wet)
{
    const double scale = 0.6 + 0.9 * size;
    const double combSeconds[] = {0.0297, 0.0371, 0.0411, 0.0437};
    const double feedback = 0.70 + 0.22 * size;
    std::vector<double> sum(samples.size(), 0.0);
    for (const double seconds : combSeconds) {
        const qsizetype d = std::max<qsizetype>(1, std::lround(seconds * scale * kRate));
        std::vector<double> line(d, 0.0);
        double damp = 0.0;
        for (qsizetype i = 0; i < qsizetype(samples.size()); ++i) {
            const double delayed = line[i % d];
            damp += 0.4 * (delayed - damp);
            line[i % d] = samples[i] + feedback * damp;
            sum[i] += delayed * 0.25;
        }
    }
    for (const double seconds : {0.0050, 0.0017}) {
        const qsizetype d = std::max<qsizetype>(1, std::lround(seconds * kRate));
        std::vector<double> line(d, 0.0);
        for (qsizetype i = 0; i < qsizetype(sum.size()); ++i) {
            const double delayed = line[i % d];
            const double in = sum[i];
            line[i % d] = in + 0.6 * delayed;
            sum[i] = delayed - 0.6 * in;
        }
    }
    for (qsizetype i = 0; i < qsizetype(samples.size()); ++i)
        samples[i] = samples[i] * (1.0 - 0.4 * wet) + sum[i] * wet;
}

void appendLittleEndian(QByteArray &bytes, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray waveFile(const std::vector<std::int16_t> &pcm)
{
    const std::uint32_t dataSize = std::uint32_t(pcm.size() * 2);
    QByteArray bytes;
    bytes.reserve(44 + int(dataSize));
    bytes.append("RIFF", 4);
    appendLittleEndian(bytes, 36 + dataSize, 4);
    bytes.append("WAVE", 4);
    bytes.append("fmt ", 4);
    appendLittleEndian(bytes, 16, 4);              // the size of what follows
    appendLittleEndian(bytes, 1, 2);               // PCM
    appendLittleEndian(bytes, 1, 2);               // mono
    appendLittleEndian(bytes, kCrySampleRate, 4);  // samples a second
    appendLittleEndian(bytes, kCrySampleRate * 2, 4); // bytes a second
    appendLittleEndian(bytes, 2, 2);               // bytes a sample
    appendLittleEndian(bytes, 16, 2);              // bits a sample
    bytes.append("data", 4);
    appendLittleEndian(bytes, dataSize, 4);
    for (const std::int16_t sample : pcm)
        appendLittleEndian(bytes, std::uint16_t(sample), 2);
    return bytes;
}

} // namespace

QList<CryRecipe> parseCries(const QStringList &lines, Issues &issues)
{
    RecipeReader reader(issues);
    reader.read(lines);
    return reader.recipes();
}

QByteArray renderCry(const CryRecipe &recipe)
{
    std::vector<double> samples(std::size_t(std::lround(recipe.length * kRate)), 0.0);
    for (qsizetype v = 0; v < recipe.voices.size(); ++v) {
        const std::uint64_t seed = 0x5348415348494E00ull + std::uint64_t(recipe.key) * 64 + std::uint64_t(v);
        renderVoice(recipe.voices.at(v), seed, samples);
    }
    if (recipe.echoFeedback > 0.0)
        addEcho(samples, recipe.echoDelay, recipe.echoFeedback);
    if (recipe.roomMix > 0.0)
        addRoom(samples, recipe.roomSize, recipe.roomMix);

    // No steady offset, whatever the voices did.
    double previousIn = 0.0, previousOut = 0.0;
    const double pole = 1.0 - 2.0 * kPi * 20.0 / kRate;
    for (double &sample : samples) {
        const double out = sample - previousIn + pole * previousOut;
        previousIn = sample;
        previousOut = out;
        sample = out;
    }

    // Short fades, so the cry neither starts nor stops with a click.
    const qsizetype fadeIn = std::lround(0.004 * kRate);
    const qsizetype fadeOut = std::lround(0.020 * kRate);
    const qsizetype n = qsizetype(samples.size());
    for (qsizetype i = 0; i < std::min(fadeIn, n); ++i)
        samples[i] *= 0.5 - 0.5 * std::cos(kPi * double(i) / fadeIn);
    for (qsizetype i = 0; i < std::min(fadeOut, n); ++i)
        samples[n - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * double(i) / fadeOut);

    // As loud as it can be without clipping, but a hiss no louder than a tone.
    double peak = 0.0, energy = 0.0;
    for (const double sample : samples) {
        peak = std::max(peak, std::fabs(sample));
        energy += sample * sample;
    }
    const double rms = std::sqrt(energy / std::max<qsizetype>(1, n));
    double gain = 1.0;
    if (peak > 0.0)
        gain = std::min(0.89 / peak, 0.28 / std::max(rms, 1e-9));

    std::vector<std::int16_t> pcm(samples.size());
    for (qsizetype i = 0; i < n; ++i) {
        const long value = std::lround(samples[i] * gain * 32767.0);
        pcm[i] = std::int16_t(std::clamp<long>(value, -32767, 32767));
    }
    return waveFile(pcm);
}

} // namespace datagen
