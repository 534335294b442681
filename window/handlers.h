#pragma once

#include <functional>
#include <string_view>

// Every event handler runs through runHandler: this is where a run-time error
// stops, so no exception ever crosses Qt's event loop.
namespace zorbel {

// Runs a handler unless the program is already ending; an exception it throws
// ends the program through fatalError.
void runHandler(const std::function<void()> &handler);

// The one way the program fails: stops every timer, drops further events,
// reports the message (stderr always, a message box where there is a display)
// and exits with a non-zero status.
[[noreturn]] void fatalError(std::string_view message);

} // namespace zorbel
