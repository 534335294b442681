#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zorbel::sound {

// A playable view of a RIFF WAVE file held in memory: its PCM format and the
// sample bytes, which stay inside the image the view was made from. The image
// must outlive the view.
struct WavImage {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0; // 8 (unsigned) or 16 (signed little-endian)
    std::span<const std::uint8_t> samples; // whole frames only

    // Nothing when the image is not a PCM WAVE file we can play, or has no
    // samples. Never reads outside the image, whatever its chunk sizes claim.
    static std::optional<WavImage> parse(std::span<const std::uint8_t> image);

    // How far a player given only the image's address reads: the length of
    // the RIFF file its first 8 bytes announce, or those 8 bytes alone when
    // they are no RIFF header.
    static std::uint64_t claimedSize(const std::uint8_t *image);

    // Whether such a player stays inside the image.
    static bool holdsWholeFile(std::span<const std::uint8_t> image);

    int bytesPerFrame() const { return channels * bitsPerSample / 8; }
    std::chrono::microseconds duration() const;
};

} // namespace zorbel::sound
