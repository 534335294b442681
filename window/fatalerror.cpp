#include "windowport.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace zorbel {
namespace {

bool ending = false;
ErrorScreen *errorScreen = nullptr;

} // namespace

void useErrorScreen(ErrorScreen &screen)
{
    errorScreen = &screen;
}

void runHandler(const std::function<void()> &handler)
{
    if (ending)
        return;
    try {
        handler();
    } catch (const std::exception &error) {
        fatalError(error.what());
    }
}

void fatalError(std::string_view message)
{
    ending = true;
    FormTimer::stopAll();
    if (errorScreen)
        errorScreen->stopInput();
    std::fprintf(stderr, "Zorbel: fatal error: %.*s\n", static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
    if (errorScreen)
        errorScreen->showError("Errore di esecuzione: " + std::string(message));
    // Nothing is left to save, and unwinding would run destructors on a
    // model in an unknown state.
    std::_Exit(EXIT_FAILURE);
}

} // namespace zorbel
