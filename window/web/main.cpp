#include "form1.h"
#include "moddichiarazionicomuni.h"
#include "webaudiosound.h"

#include <emscripten/emscripten.h>

#include <memory>
#include <optional>

namespace {

// main returns at once and the page goes on running the program's events,
// so what they use lives here. The sound module outlives the window.
zorbel::WebErrorScreen errorScreen;
std::optional<zorbel::sound::modDichiarazioniComuni> sounds;
std::optional<zorbel::Form1> form;
bool ended = false;

// The close button: at once, and for good. Nothing is destroyed here, inside
// the window's own handler; nothing of it runs again either.
void endProgram()
{
    ended = true;
    form->end();
    sounds.reset();
}

bool running()
{
    return form && !ended;
}

} // namespace

// Called by window/web/page.js.
extern "C" {

EMSCRIPTEN_KEEPALIVE int zorbel_ballPointer(int what, int button, int held, int shift, double x, double y)
{
    return running()
        && form->ballPointer(static_cast<zorbel::Form1::Pointer>(what), static_cast<zorbel::Int16>(button),
            static_cast<zorbel::Int16>(held), static_cast<zorbel::Int16>(shift), static_cast<float>(x), static_cast<float>(y));
}

EMSCRIPTEN_KEEPALIVE void zorbel_closeClicked()
{
    if (running())
        form->closeClicked();
}

EMSCRIPTEN_KEEPALIVE void zorbel_viewportChanged()
{
    if (running())
        form->viewportChanged();
}

} // extern "C"

int main()
{
    zorbel::useErrorScreen(errorScreen);
    sounds.emplace(std::make_unique<zorbel::sound::WebAudioSound>());
    // Built inside a handler: a run-time error while loading ends the
    // program through the same fatal-error path as any other.
    zorbel::runHandler([] {
        form.emplace(*sounds, endProgram);
        form->Form_Load();
    });
    return 0;
}
