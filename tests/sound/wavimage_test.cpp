#include "wavimage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using zorbel::sound::WavImage;
using Bytes = std::vector<std::uint8_t>;

void putLe(Bytes &out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Bytes chunk(const std::string &tag, const Bytes &body, std::optional<std::uint32_t> claimedSize = {}, bool pad = true)
{
    Bytes out(tag.begin(), tag.end());
    putLe(out, claimedSize.value_or(static_cast<std::uint32_t>(body.size())), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (pad && body.size() % 2 != 0)
        out.push_back(0);
    return out;
}

Bytes fmt(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    Bytes body;
    for (const auto &[value, bytes] : { std::pair<std::uint32_t, int> { formatTag, 2 }, { channels, 2 }, { rate, 4 },
                                       { rate * channels * bits / 8, 4 }, { channels * bits / 8, 2 }, { bits, 2 } })
        putLe(body, value, bytes);
    return chunk("fmt ", body);
}

Bytes pcm8() { return fmt(1, 1, 11025, 8); }

Bytes data(std::size_t size) { return chunk("data", Bytes(size, 0x80)); }

Bytes list() { return chunk("LIST", Bytes {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 3, 0, 0, 0, 'z', 'b', 0}); }

Bytes riff(const std::vector<Bytes> &chunks, std::optional<std::uint32_t> claimedSize = {})
{
    Bytes body {'W', 'A', 'V', 'E'};
    for (const Bytes &c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    return chunk("RIFF", body, claimedSize, false);
}

// The layouts of the program's own cues: 8-bit mono at 11025 Hz, the bounce
// cue with an INFO list after its samples.
const Bytes bounceCue = riff({pcm8(), data(1086), list()});
const Bytes releaseCue = riff({pcm8(), data(3080)});

Bytes edited(Bytes image, void (*edit)(Bytes &))
{
    edit(image);
    return image;
}

// What parse() gives; no channels: nothing to play. The offset is of the first sample in the image.
struct Case {
    const char *name;
    Bytes image;
    int channels = 0, bits = 0;
    std::size_t offset = 0, size = 0;
    long long durationUs = 0;
};

void PrintTo(const Case &c, std::ostream *out) { *out << c.name; }

class Parse : public testing::TestWithParam<Case> {};

TEST_P(Parse, GivesFormatAndSamplesInsideTheImageOrNothing)
{
    const Case &c = GetParam();
    const std::optional<WavImage> wav = WavImage::parse(c.image);
    ASSERT_EQ(wav.has_value(), c.channels != 0);
    if (!wav)
        return;
    EXPECT_EQ(wav->channels, c.channels);
    EXPECT_EQ(wav->sampleRate, 11025);
    EXPECT_EQ(wav->bitsPerSample, c.bits);
    EXPECT_EQ(wav->samples.data(), c.image.data() + c.offset);
    EXPECT_EQ(wav->samples.size(), c.size);
    EXPECT_EQ(wav->duration().count(), c.durationUs);
}

INSTANTIATE_TEST_SUITE_P(
    WavImage, Parse,
    testing::Values(
        Case {"bounceCue", bounceCue, 1, 8, 44, 1086, 98503},
        Case {"releaseCue", releaseCue, 1, 8, 44, 3080, 279365},
        Case {"oddListBeforeFormatIsPadded", riff({list(), pcm8(), data(10)}), 1, 8, 24 + 44, 10, 907},
        // Two extra bytes in the format chunk, as some writers add.
        Case {"longerFormatChunk", edited(riff({pcm8(), data(4)}), [](Bytes &b) {
                  b.insert(b.begin() + 36, {0, 0});
                  b[16] += 2;
                  b[4] += 2;
              }), 1, 8, 46, 4, 362},
        Case {"oddDataWithoutPadAtTheEnd", riff({pcm8(), chunk("data", Bytes(5, 0x80), {}, false)}), 1, 8, 44, 5, 453},
        Case {"stereo16KeepsWholeFrames", riff({fmt(1, 2, 11025, 16), data(11)}), 2, 16, 44, 8, 181},
        Case {"bytesAfterTheRiffChunkAreIgnored", edited(riff({pcm8(), data(4)}), [](Bytes &b) {
                  const Bytes junk = chunk("junk", Bytes(6, 1), 0xfffffff0u);
                  b.insert(b.end(), junk.begin(), junk.end());
              }), 1, 8, 44, 4, 362},
        Case {"empty", {}},
        Case {"truncatedHeader", Bytes {'R', 'I', 'F', 'F', 4, 0, 0}},
        Case {"notWave", edited(releaseCue, [](Bytes &b) { b[8] = 'A'; })},
        Case {"riffSizeShorterThanItsHeader", riff({pcm8(), data(4)}, 2)},
        Case {"dataRunsPastTheEnd", riff({pcm8(), chunk("data", Bytes(4, 0x80), 5000)})},
        Case {"chunkSizeNearFourGigabytes", riff({chunk("LIST", Bytes(4, 0), 0xfffffffeu), pcm8(), data(4)})},
        Case {"dataBeforeFormat", riff({data(4), pcm8()})},
        Case {"noData", riff({pcm8(), list()})},
        Case {"noFormat", riff({data(4)})},
        Case {"floatSamples", riff({fmt(3, 1, 11025, 32), data(8)})},
        Case {"extensibleFormat", riff({fmt(0xfffe, 1, 11025, 16), data(8)})},
        Case {"twentyFourBits", riff({fmt(1, 1, 11025, 24), data(9)})},
        Case {"noChannels", riff({fmt(1, 0, 11025, 8), data(4)})},
        Case {"noSampleRate", riff({fmt(1, 1, 0, 8), data(4)})},
        Case {"shortFormatChunk", riff({chunk("fmt ", Bytes(14, 1)), data(4)})},
        Case {"zeroLengthData", riff({pcm8(), data(0)})},
        Case {"lessThanOneFrame", riff({fmt(1, 2, 11025, 16), data(3)})}),
    [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

// Every truncation of the bounce cue: playable exactly when its samples are
// all there, and never read past the end (the sanitizer build checks that).
// Only the whole file may go to a player that reads as far as its header says.
TEST(WavImage, TruncatedCuePlaysOnlyWithAllItsSamples)
{
    const std::size_t samplesEnd = 44 + 1086;
    for (std::size_t size = 0; size <= bounceCue.size(); ++size) {
        const Bytes prefix(bounceCue.begin(), bounceCue.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_EQ(WavImage::parse(prefix).has_value(), size >= samplesEnd) << "size " << size;
        EXPECT_EQ(WavImage::holdsWholeFile(prefix), size == bounceCue.size()) << "size " << size;
    }
    // Bytes with no RIFF header are read only as far as the 8 that tell so.
    EXPECT_EQ(WavImage::claimedSize(Bytes(8, 'x').data()), 8u);
    EXPECT_TRUE(WavImage::holdsWholeFile(Bytes(8, 'x')));
    EXPECT_EQ(WavImage::claimedSize(riff({pcm8(), data(4)}, 0xffffffffu).data()), 0x100000007u);
}

} // namespace
