#include "moddichiarazionicomuni.h"

#include "wavimage.h"

#include <utility>

namespace zorbel::sound {

modDichiarazioniComuni::modDichiarazioniComuni(std::unique_ptr<SoundPlatform> platform)
    : m_platform(std::move(platform))
{
}

void modDichiarazioniComuni::PlaySoundResource(std::int16_t id)
{
    // The bytes of the cue still sounding stay alive until the player has
    // let go of them, which it does by the time the call below returns.
    const std::vector<std::uint8_t> previous = std::exchange(soundBuffer, m_platform->LoadResData(id));

    // The player reads as far as the image's header says; bytes that do not
    // hold the whole file they claim to be only silence the cue before.
    const bool whole = WavImage::holdsWholeFile(soundBuffer);
    m_platform->sndPlaySoundA(whole ? reinterpret_cast<const char *>(soundBuffer.data()) : nullptr,
                              SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
}

} // namespace zorbel::sound
