#pragma once

#include <cstdint>

// The program's two sound cues, played by embedded resource id. The ball logic
// sees only this interface: the program plays through the sound server, the
// tests record the calls.
namespace zorbel::sound {

enum : std::int16_t {
    bounceSound = 102,
    releaseSound = 103,
};

class Cues {
public:
    virtual ~Cues() = default;

    // Returns at once; a new cue cuts off the one still playing.
    virtual void PlaySoundResource(std::int16_t id) = 0;

    void PlayBounceSound() { PlaySoundResource(bounceSound); }
};

} // namespace zorbel::sound
