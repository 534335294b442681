#pragma once

#include "soundplatform.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace zorbel::sound {

// The Windows port: the cues are resources of the executable, and they play
// through the system's own sndPlaySoundA, bound at the first cue.
class WinmmSound final : public SoundPlatform {
public:
    WinmmSound();
    ~WinmmSound() override;

    std::vector<std::uint8_t> LoadResData(std::int16_t id) override;
    std::uint32_t sndPlaySoundA(const char *image, std::uint32_t flags) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace zorbel::sound
