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
[[noreturn]] void fatalError(std::string_view message);

// What each platform layer provides for fatalError.
namespace platform {

// Stops the timers and disables the windows, so no handler runs again, not
// even from the message box's own event loop.
void stopEvents();

// Shows the text, in the user's language, where the user can see it;
// returns when it is dismissed, or at once where there is nowhere to show it.
void showError(std::string_view text);

} // namespace platform

} // namespace zorbel
