#include "webtoolkit.h"

#include <emscripten/emscripten.h>

#include <string>

EM_JS(void, zorbel_stopInput, (), { zorbelPage.stopInput(); });
EM_JS(void, zorbel_alert, (const char *text), { window.alert(UTF8ToString(text)); });

namespace zorbel {

void WebErrorScreen::stopInput()
{
    zorbel_stopInput();
}

void WebErrorScreen::showError(std::string_view text)
{
    zorbel_alert(std::string(text).c_str());
}

} // namespace zorbel
