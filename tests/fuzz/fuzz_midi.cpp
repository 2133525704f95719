#include "fuzzing.h"

#include "sound/gameaudio.h"
#include "sound/midifile.h"
#include "sound/musicsynth.h"

#include <cstdint>
#include <memory>
#include <vector>

// Any bytes as the music: the check never reads past them, and what it lets
// through the synthesizer takes, plays and renders without harm.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::unique_ptr<MusicSynth> synth = MusicSynth::create(gameSoundFont(), 44100);
    const QByteArray bytes = fuzzing::bytes(data, size);
    const bool playable = isPlayableMidi(bytes);
    if (!synth || !playable)
        return 0;
    fuzzing::check(synth->open(bytes), "the synthesizer takes what the check passed");
    synth->play();
    std::vector<std::int16_t> block(2 * 512);
    for (int i = 0; i < 8; ++i)
        synth->render(block.data(), 512);
    synth->isPlaying();
    synth->close();
    return 0;
}
