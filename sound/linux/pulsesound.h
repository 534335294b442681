#pragma once

#include "soundplatform.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace zorbel::sound {

// The Linux port: the cues are Qt resources, and they play through the
// desktop's sound server (PulseAudio, or PipeWire through pipewire-pulse)
// over one connection, kept for the whole run and reached at start-up.
class PulseSound final : public SoundPlatform {
public:
    PulseSound();
    ~PulseSound() override;

    std::vector<std::uint8_t> LoadResData(std::int16_t id) override { return resource(id); }
    std::uint32_t sndPlaySoundA(const char *image, std::uint32_t flags) override;

    // LoadResData without a player, for tools that only read the cues.
    static std::vector<std::uint8_t> resource(std::int16_t id);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace zorbel::sound
