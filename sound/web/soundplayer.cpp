#include "platform.h"

#include "wavimage.h"

#include <emscripten/emscripten.h>

#include <limits>
#include <optional>

// The page's side of the player is sound/web/audio.js.

EM_JS(int, zorbel_playCue, (const std::uint8_t *samples, int length, int channels, int rate, int bits, int restAfterMs), {
    return zorbelAudio.play(HEAPU8.subarray(samples, samples + length), channels, rate, bits, restAfterMs) ? 1 : 0;
});
EM_JS(void, zorbel_stopCue, (), { zorbelAudio.stop(); });
EM_JS(void, zorbel_closeAudio, (), { zorbelAudio.close(); });

namespace zorbel::sound {

// Web Audio holds everything the player needs: the buffer it plays is a copy.
struct SoundPlayer::Impl { };

SoundPlayer::SoundPlayer()
    : m_impl(std::make_unique<Impl>())
{
}

SoundPlayer::~SoundPlayer()
{
    zorbel_closeAudio();
}

std::uint32_t SoundPlayer::sndPlaySoundA(const char *image, std::uint32_t flags)
{
    std::optional<WavImage> wav;
    if (image && (flags & SND_MEMORY)) {
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(image);
        const std::uint64_t size = WavImage::claimedSize(bytes);
        if (size <= std::numeric_limits<std::size_t>::max())
            wav = WavImage::parse({ bytes, static_cast<std::size_t>(size) });
    }
    if (!wav) {
        zorbel_stopCue();
        return 0;
    }
    return static_cast<std::uint32_t>(zorbel_playCue(wav->samples.data(), static_cast<int>(wav->samples.size()),
        wav->channels, wav->sampleRate, wav->bitsPerSample,
        static_cast<int>(std::chrono::milliseconds(restAfterLastCue).count())));
}

} // namespace zorbel::sound
