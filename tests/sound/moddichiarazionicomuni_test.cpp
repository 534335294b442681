#include "moddichiarazionicomuni.h"
#include "pulsesound.h"
#include "runtimeerror.h"
#include "wavimage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace zorbel::sound;
using Bytes = std::vector<std::uint8_t>;

// A port with some resources of its own besides the program's, and a player
// that notes what it was handed.
struct FakePort final : SoundPlatform {
    std::map<std::int16_t, Bytes> resources;
    std::vector<std::string> *played;

    Bytes LoadResData(std::int16_t id) override
    {
        const auto found = resources.find(id);
        return found == resources.end() ? PulseSound::resource(id) : found->second;
    }

    std::uint32_t sndPlaySoundA(const char *image, std::uint32_t flags) override
    {
        const auto size = image ? WavImage::claimedSize(reinterpret_cast<const std::uint8_t *>(image)) : 0;
        played->push_back((image ? std::to_string(size) + " bytes" : "stop") + " flags " + std::to_string(flags));
        return image ? 1 : 0;
    }
};

TEST(ModDichiarazioniComuni, HandsThePlayerWholeImagesOnly)
{
    std::vector<std::string> played;
    auto port = std::make_unique<FakePort>();
    port->played = &played;
    const Bytes cue = PulseSound::resource(bounceSound), release = PulseSound::resource(releaseSound);
    port->resources = { { 1, cue }, { 2, Bytes(cue.begin(), cue.end() - 1) }, { 3, Bytes(8, 'x') } };
    modDichiarazioniComuni sounds(std::move(port));
    for (const std::int16_t id : { 1, 2, 3, static_cast<int>(releaseSound), 1 })
        sounds.PlaySoundResource(id);
    const auto whole = [](const Bytes &image) { return std::to_string(image.size()) + " bytes flags 7"; };
    EXPECT_EQ(played, (std::vector<std::string> { whole(cue), "stop flags 7", "8 bytes flags 7", whole(release), whole(cue) }));

    try {
        sounds.PlaySoundResource(999);
        FAIL() << "no error for a missing resource";
    } catch (const zorbel::RuntimeError &error) {
        EXPECT_STREQ(error.what(), "sound resource 999 (CUSTOM) is missing");
    }
    EXPECT_EQ(played.size(), 5u) << "the cue still sounding was touched";
    EXPECT_EQ(sounds.currentSound(), cue);
    // The program's own cues, as embedded, hold all their samples.
    for (const auto &[image, samples] : { std::pair { release, 3080u }, std::pair { cue, 1086u } }) {
        const auto wav = WavImage::parse(image);
        EXPECT_EQ(wav ? wav->samples.size() : 0, samples);
    }
}

} // namespace
