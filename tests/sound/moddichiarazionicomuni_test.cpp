#include "moddichiarazionicomuni.h"
#include "runtimeerror.h"
#include "wavimage.h"

#include <gtest/gtest.h>

#include <cstdint>

// Runs with no sound server, so the cues stay silent.
namespace {

std::size_t sampleCount(const std::vector<std::uint8_t> &image)
{
    const auto wav = zorbel::sound::WavImage::parse(image);
    return wav ? wav->samples.size() : 0;
}

TEST(ModDichiarazioniComuni, PlaysEachEmbeddedCueUnchanged)
{
    modDichiarazioniComuni sounds;
    for (const auto &[id, samples] : {std::pair {zorbel::sound::releaseSound, 3080u},
                                      std::pair {zorbel::sound::bounceSound, 1086u},
                                      std::pair {zorbel::sound::bounceSound, 1086u}}) {
        sounds.PlaySoundResource(id);
        EXPECT_EQ(sounds.currentSound(), zorbel::sound::LoadResData(id)) << id;
        EXPECT_EQ(sampleCount(sounds.currentSound()), samples) << id;
        EXPECT_TRUE(zorbel::sound::WavImage::holdsWholeFile(sounds.currentSound())) << id;
    }
}

TEST(ModDichiarazioniComuni, MissingResourceIsAnErrorAndKeepsTheLastSound)
{
    modDichiarazioniComuni sounds;
    sounds.PlayBounceSound();
    try {
        sounds.PlaySoundResource(999);
        FAIL() << "no error for a missing resource";
    } catch (const zorbel::RuntimeError &error) {
        EXPECT_STREQ(error.what(), "sound resource 999 (CUSTOM) is missing");
    }
    EXPECT_EQ(sounds.currentSound(), zorbel::sound::LoadResData(zorbel::sound::bounceSound));
}

} // namespace
