#include "moddichiarazionicomuni.h"
#include "wavimage.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <stdexcept>

// Runs with no sound server, so the cues stay silent.
namespace {

QByteArray embedded(int id)
{
    QFile resource(QStringLiteral(":/CUSTOM/%1").arg(id));
    return resource.open(QIODevice::ReadOnly) ? resource.readAll() : QByteArray();
}

std::size_t sampleCount(const QByteArray &image)
{
    const auto wav = zorbel::sound::WavImage::parse(
        {reinterpret_cast<const std::uint8_t *>(image.constData()), static_cast<std::size_t>(image.size())});
    return wav ? wav->samples.size() : 0;
}

TEST(ModDichiarazioniComuni, PlaysEachEmbeddedCueUnchanged)
{
    modDichiarazioniComuni sounds;
    for (const auto &[id, samples] : {std::pair {zorbel::sound::releaseSound, 3080u},
                                      std::pair {zorbel::sound::bounceSound, 1086u},
                                      std::pair {zorbel::sound::bounceSound, 1086u}}) {
        sounds.PlaySoundResource(id);
        EXPECT_EQ(sounds.currentSound(), embedded(id)) << id;
        EXPECT_EQ(sampleCount(sounds.currentSound()), samples) << id;
    }
}

TEST(ModDichiarazioniComuni, MissingResourceIsAnErrorAndKeepsTheLastSound)
{
    modDichiarazioniComuni sounds;
    sounds.PlayBounceSound();
    try {
        sounds.PlaySoundResource(999);
        FAIL() << "no error for a missing resource";
    } catch (const std::runtime_error &error) {
        EXPECT_STREQ(error.what(), "sound resource 999 (CUSTOM) is missing");
    }
    EXPECT_EQ(sounds.currentSound(), embedded(zorbel::sound::bounceSound));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
