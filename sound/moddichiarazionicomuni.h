#pragma once

#include "cues.h"
#include "soundplatform.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace zorbel::sound {

// The program's shared sound module: plays the embedded cues through the
// platform's player. Destroy it only after the last cue has been asked for:
// its buffer holds the bytes of the cue still sounding.
class modDichiarazioniComuni : public Cues {
public:
    // The port's resources and player, kept until the module goes.
    explicit modDichiarazioniComuni(std::unique_ptr<SoundPlatform> platform);

    // Plays the embedded resource of type "CUSTOM" with this id and returns
    // at once. Throws zorbel::RuntimeError if the program carries no such
    // resource, leaving the cue still sounding as it is.
    void PlaySoundResource(std::int16_t id) override;

    // The image of the last cue asked for, exactly as embedded.
    const std::vector<std::uint8_t> &currentSound() const { return soundBuffer; }

private:
    // Declared first, so the player stops before the bytes it plays are freed.
    std::vector<std::uint8_t> soundBuffer;
    std::unique_ptr<SoundPlatform> m_platform;
};

} // namespace zorbel::sound
