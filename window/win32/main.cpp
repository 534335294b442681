#include "form1.h"
#include "moddichiarazionicomuni.h"
#include "winmmsound.h"

#include <windows.h>

#include <memory>
#include <optional>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    zorbel::Win32ErrorScreen errorScreen;
    zorbel::useErrorScreen(errorScreen);
    // The sound module outlives the window: its buffer holds the last cue's
    // bytes while the player may still be reading them.
    zorbel::sound::modDichiarazioniComuni sounds(std::make_unique<zorbel::sound::WinmmSound>());
    // Built inside a handler too: a picture missing from the executable ends
    // the program through the same fatal-error path as any run-time error.
    std::optional<zorbel::Form1> form;
    zorbel::runHandler([&] {
        form.emplace(sounds, [] { PostQuitMessage(0); });
        form->Form_Load();
    });

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab between the ball and the button, Space and Enter on the button.
        if (IsDialogMessageW(form->window(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
