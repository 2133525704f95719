#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// A SoundFont 2 file cut down to a few presets, read by FluidSynth in place of the
// whole file. FluidSynth builds every zone of every preset when it loads a
// soundfont, some 4 MB for a General MIDI set, where a piece of music needs a
// handful of instruments. The cut keeps the chosen presets with their zones, the
// instruments and samples these use, and the file's sample data where it is: only
// the preset data is rewritten, in memory.
class SoundFontSubset
{
public:
    struct Preset
    {
        int bank = 0;
        int program = 0;
        bool operator==(const Preset &) const = default;
    };

    // Null when `path` is no SoundFont 2 file this can read.
    static std::unique_ptr<SoundFontSubset> read(const QString &path);
    ~SoundFontSubset();

    SoundFontSubset(const SoundFontSubset &) = delete;
    SoundFontSubset &operator=(const SoundFontSubset &) = delete;

    // The name under which FluidSynth reads the file cut down to `presets` (those
    // the file has), through the callbacks installFor() sets, until the next cut
    // or the end of this object; empty when the cut cannot be made.
    QString cut(const QList<Preset> &presets);
    // Makes `loader` (a fluid_sfloader_t from new_fluid_defsfloader) read the
    // names cut() gives; it reads nothing else.
    static void installFor(void *loader);

private:
    struct Parts;
    explicit SoundFontSubset(std::unique_ptr<Parts> parts);

    void forget();

    std::unique_ptr<Parts> m_parts;
    QString m_name;
};
