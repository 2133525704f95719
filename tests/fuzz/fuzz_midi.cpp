#include "fuzzing.h"

#include "sound/gameaudio.h"
#include "sound/midifile.h"
#include "sound/musicsynth.h"

#include <cstdint>
#include <memory>
#include <vector>

// Any bytes as the music: the check never reads past them, and what it lets
// through the synthesizer takes, renders and plays without harm.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static MusicPlayback music(gameSoundFont(), 44100);
    const QByteArray bytes = fuzzing::bytes(data, size);
    const bool playable = isPlayableMidi(bytes);
    fuzzing::check(music.open(bytes) == (playable && !gameSoundFont().isEmpty()),
                   "the music opens what the check passed, and nothing else");
    music.play();
    std::vector<std::int16_t> block(2 * 512);
    for (int i = 0; i < 8; ++i)
        music.mix(block.data(), 512);
    music.isPlaying();
    music.close();  // while it may still be rendering
    return 0;
}
