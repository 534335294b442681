#include "wavimage.h"

#include <string_view>

namespace zorbel::sound {

namespace {

constexpr std::uint16_t pcmFormatTag = 1;
constexpr std::size_t chunkHeaderSize = 8;
constexpr std::size_t pcmFormatSize = 16;

std::uint16_t readLe16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t readLe32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8
        | static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

bool hasTag(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view tag)
{
    for (std::size_t i = 0; i < tag.size(); ++i) {
        if (bytes[at + i] != static_cast<std::uint8_t>(tag[i]))
            return false;
    }
    return true;
}

} // namespace

std::optional<WavImage> WavImage::parse(std::span<const std::uint8_t> image)
{
    constexpr std::size_t riffHeaderSize = 12;
    if (image.size() < riffHeaderSize || !hasTag(image, 0, "RIFF") || !hasTag(image, 8, "WAVE"))
        return std::nullopt;

    // Bytes past the RIFF chunk are not part of the file; a RIFF size larger
    // than the image is a truncated file, caught when a chunk runs past the end.
    const std::uint64_t riffEnd = std::uint64_t(readLe32(image, 4)) + chunkHeaderSize;
    const std::size_t end = riffEnd < image.size() ? static_cast<std::size_t>(riffEnd) : image.size();
    if (end < riffHeaderSize)
        return std::nullopt;

    // Like the system player, look for "fmt " first and then for "data" after
    // it: a data chunk in front of the format is never found.
    std::optional<WavImage> wav;
    std::size_t at = riffHeaderSize;
    while (end - at >= chunkHeaderSize) {
        const std::size_t size = readLe32(image, at + 4);
        const std::size_t body = at + chunkHeaderSize;
        if (size > end - body)
            return std::nullopt;

        if (!wav && hasTag(image, at, "fmt ")) {
            if (size < pcmFormatSize || readLe16(image, body) != pcmFormatTag)
                return std::nullopt;
            WavImage format;
            format.channels = readLe16(image, body + 2);
            format.sampleRate = static_cast<int>(readLe32(image, body + 4) & 0x7fffffff);
            format.bitsPerSample = readLe16(image, body + 14);
            if (format.channels < 1 || format.sampleRate < 1
                || (format.bitsPerSample != 8 && format.bitsPerSample != 16))
                return std::nullopt;
            wav = format;
        } else if (wav && hasTag(image, at, "data")) {
            const std::size_t frame = static_cast<std::size_t>(wav->bytesPerFrame());
            const std::size_t wholeFrames = size - size % frame;
            if (wholeFrames == 0)
                return std::nullopt;
            wav->samples = image.subspan(body, wholeFrames);
            return wav;
        }

        // Chunks start on even offsets; the pad byte after an odd-sized chunk
        // may be missing at the very end of the file.
        const std::size_t next = size + (size & 1);
        if (next >= end - body)
            break;
        at = body + next;
    }
    return std::nullopt;
}

std::uint64_t WavImage::claimedSize(const std::uint8_t *image)
{
    const std::span<const std::uint8_t> header(image, chunkHeaderSize);
    if (!hasTag(header, 0, "RIFF"))
        return chunkHeaderSize;
    return std::uint64_t(readLe32(header, 4)) + chunkHeaderSize;
}

bool WavImage::holdsWholeFile(std::span<const std::uint8_t> image)
{
    return image.size() >= chunkHeaderSize && claimedSize(image.data()) <= image.size();
}

std::chrono::microseconds WavImage::duration() const
{
    const auto frames = static_cast<std::int64_t>(samples.size()) / bytesPerFrame();
    return std::chrono::microseconds(frames * 1'000'000 / sampleRate);
}

} // namespace zorbel::sound
