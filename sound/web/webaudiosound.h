#pragma once

#include "soundplatform.h"

#include <cstdint>
#include <vector>

namespace zorbel::sound {

// The browser port: the cues are compiled into the program (assets/web), and
// they play through Web Audio (audio.js).
class WebAudioSound final : public SoundPlatform {
public:
    WebAudioSound() = default;
    ~WebAudioSound() override;

    std::vector<std::uint8_t> LoadResData(std::int16_t id) override;
    std::uint32_t sndPlaySoundA(const char *image, std::uint32_t flags) override;
};

} // namespace zorbel::sound
