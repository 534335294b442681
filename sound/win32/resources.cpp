#include "winmmsound.h"

#include "resource.h"
#include "runtimeerror.h"

#include <windows.h>

#include <string>

namespace zorbel::sound {

std::vector<std::uint8_t> WinmmSound::LoadResData(std::int16_t id)
{
    // Only the language the sounds are compiled in: a cue in another
    // language would be another program's.
    const HRSRC found = FindResourceExW(nullptr, resources::soundType, MAKEINTRESOURCEW(static_cast<WORD>(id)),
        resources::soundLanguage);
    const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const auto *bytes = loaded ? static_cast<const std::uint8_t *>(LockResource(loaded)) : nullptr;
    if (!bytes)
        throw RuntimeError("sound resource " + std::to_string(id) + " (CUSTOM) is missing");
    return { bytes, bytes + SizeofResource(nullptr, found) };
}

} // namespace zorbel::sound
