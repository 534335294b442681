#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

// What each platform's port gives the sound layer: its embedded files and its
// player of WAV images held in memory. The port is made by the program's
// main() and handed to modDichiarazioniComuni. No platform header belongs here.
namespace zorbel::sound {

// This long after the last cue has played out a player lets its output rest,
// so the program costs nothing while the ball lies still. Not sooner: the
// cues of one drop would switch the output off and on, and a cue that comes
// while it is still switching off starts late.
inline constexpr std::chrono::seconds restAfterLastCue { 10 };

inline constexpr std::uint32_t SND_ASYNC = 0x0001;
inline constexpr std::uint32_t SND_NODEFAULT = 0x0002;
inline constexpr std::uint32_t SND_MEMORY = 0x0004;

// Each port is made once, by main(), and handed over in a unique_ptr.
class SoundPlatform {
public:
    // Stops the cue still sounding; after this the last image may be freed.
    virtual ~SoundPlatform() = default;

    // The bytes of the embedded resource of type "CUSTOM" with this id,
    // exactly as embedded. Throws zorbel::RuntimeError naming the id when the
    // program carries no such resource.
    virtual std::vector<std::uint8_t> LoadResData(std::int16_t id) = 0;

    // The platform's player: on Windows the system's own sndPlaySoundA,
    // elsewhere ours, which behaves as the program expects of it.
    // With SND_ASYNC | SND_MEMORY: starts playing the WAV file image at
    // `image` and returns at once, cutting off the cue still sounding. The
    // image must hold the whole file its RIFF header claims and stay as it
    // is until the next call has returned. A null image only stops the cue
    // still sounding; an image that cannot be played plays nothing, and with
    // SND_NODEFAULT nothing else plays in its place. Nonzero when the image
    // was taken for playing.
    virtual std::uint32_t sndPlaySoundA(const char *image, std::uint32_t flags) = 0;
};

} // namespace zorbel::sound
