#include "moddichiarazionicomuni.h"

#include "wavimage.h"

#include <utility>

using namespace zorbel::sound;

void modDichiarazioniComuni::PlaySoundResource(std::int16_t id)
{
    // The bytes of the cue still sounding stay alive until the player has
    // let go of them, which it does by the time the call below returns.
    const std::vector<std::uint8_t> previous = std::exchange(soundBuffer, LoadResData(id));

    // The player reads as far as the image's header says; bytes that do not
    // hold the whole file they claim to be only silence the cue before.
    const bool whole = WavImage::holdsWholeFile(soundBuffer);
    m_player.sndPlaySoundA(whole ? reinterpret_cast<const char *>(soundBuffer.data()) : nullptr,
                           SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
}
