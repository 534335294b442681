#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The pictures and sounds compiled into the browser build.
namespace zorbel::assets {

struct EmbeddedFile {
    std::string_view name;
    std::span<const std::uint8_t> bytes;
};

// Every file, in the order assets/web/CMakeLists.txt lists them.
std::span<const EmbeddedFile> embeddedFiles();

// The bytes of the file embedded under this name ("CUSTOM/102",
// "pictures/ball.bmp"); empty when there is none.
std::span<const std::uint8_t> embeddedFile(std::string_view name);

} // namespace zorbel::assets
