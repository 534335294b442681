#include "embeddedfiles.h"

#include <algorithm>

namespace zorbel::assets {

std::span<const std::uint8_t> embeddedFile(std::string_view name)
{
    const std::span<const EmbeddedFile> files = embeddedFiles();
    // This emscripten's libc++ has no std::ranges::find.
    const auto found = std::find_if(files.begin(), files.end(), [&](const EmbeddedFile &file) { return file.name == name; });
    return found == files.end() ? std::span<const std::uint8_t> {} : found->bytes;
}

} // namespace zorbel::assets
