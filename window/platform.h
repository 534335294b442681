#pragma once

#include <string_view>

// What the shared window code asks of each platform layer, which implements
// these in its own folder. No platform header belongs here.
namespace zorbel::platform {

// Stops the timers and disables the windows, so no handler runs again, not
// even from the message box's own event loop.
void stopEvents();

// Shows the text, in the user's language, where the user can see it;
// returns when it is dismissed, or at once where there is nowhere to show it.
void showError(std::string_view text);

} // namespace zorbel::platform
