#pragma once

#include <functional>
#include <string_view>

// Every event handler runs through runHandler: this is where a run-time error
// stops, so no exception ever crosses a platform's event loop.
namespace zorbel {

// Runs a handler unless the program is already ending; an exception it throws
// ends the program through fatalError.
void runHandler(const std::function<void()> &handler);

// The one way the program fails, on every platform: stops every timer and
// drops further events first, then reports the message (stderr, and a message
// box where there is a screen to show it on), then exits with status 1.
// The platform's part of it is named in platform.h.
[[noreturn]] void fatalError(std::string_view message);

} // namespace zorbel
