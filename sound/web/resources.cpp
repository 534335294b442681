#include "webaudiosound.h"

#include "embeddedfiles.h"
#include "runtimeerror.h"

#include <string>

namespace zorbel::sound {

std::vector<std::uint8_t> WebAudioSound::LoadResData(std::int16_t id)
{
    const std::span<const std::uint8_t> bytes = assets::embeddedFile("CUSTOM/" + std::to_string(id));
    if (bytes.empty())
        throw RuntimeError("sound resource " + std::to_string(id) + " (CUSTOM) is missing");
    return { bytes.begin(), bytes.end() };
}

} // namespace zorbel::sound
