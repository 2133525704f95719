#pragma once

#include "content.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// The creatures' cries: recipes read from content/cries.txt (the format is
// described at the top of that file) and the sounds synthesized from them.
namespace datagen {

inline constexpr int kCrySampleRate = 22050;
inline constexpr double kMinCryLength = 0.3; // seconds
inline constexpr double kMaxCryLength = 1.5;

enum class Wave { Sine, Square, Saw, Triangle, Noise };
enum class Glide { Exp, Lin, Arc };

// One voice of a cry: a syllable, said one or more times.
struct CryVoice
{
    int line = 0; // where the voice begins in the recipe file
    Wave wave = Wave::Sine;
    double gain = 1.0;
    double at = 0.0;  // start of the first syllable (s)
    double len = 0.2; // one syllable (s)
    bool pitched = false;
    double pitchFrom = 440.0, pitchTo = 440.0;
    Glide glide = Glide::Exp;
    QList<double> steps; // when not empty, used instead of the glide
    QList<double> notes; // when not empty, syllable n is at notes[n], in turn
    int syllables = 1;
    double gap = 0.0;        // silence between syllables (s)
    double pitchRatio = 1.0; // each syllable's pitch times this
    double gainRatio = 1.0;  // each syllable's loudness times this
    double jitter = 0.0;     // semitones, at random per syllable
    double attack = 0.005, decay = 0.0, sustain = 1.0, release = 0.02;
    double vibratoRate = 0.0, vibratoDepth = 0.0; // Hz, semitones
    double tremoloRate = 0.0, tremoloDepth = 0.0; // Hz, 0..1
    double noise = 0.0;                           // breath mixed into a tone
    double fmRatio = 0.0, fmIndexFrom = 0.0, fmIndexTo = 0.0;
    QList<double> harmonics; // 2nd, 3rd, ... partial of a sine
    double detune = 0.0;     // cents
    double lowpassFrom = 0.0, lowpassTo = 0.0; // Hz; 0 for none
    double highpass = 0.0;
    double resonance = 0.707;

    // When its last syllable ends (s).
    double end() const { return at + syllables * len + (syllables - 1) * gap; }
};

struct CryRecipe
{
    int key = -1;
    int line = 0; // the "cry" line
    double length = 0.0;
    double echoDelay = 0.0, echoFeedback = 0.0;
    double roomSize = 0.0, roomMix = 0.0;
    QList<CryVoice> voices;
};

// The recipes in the file, checked: every key from 00 to kCreatureCount - 1
// exactly once, every line understood, every voice inside its cry. What is
// wrong goes to `issues`, by line; the list is sorted by key.
QList<CryRecipe> parseCries(const QStringList &lines, Issues &issues);

// The cry as a RIFF WAVE file: 16-bit PCM, mono, kCrySampleRate, its loudest
// sample just under full scale, faded in and out over a few milliseconds. The
// same recipe gives the same bytes on every run.
QByteArray renderCry(const CryRecipe &recipe);

} // namespace datagen
