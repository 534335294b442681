#include "webtoolkit.h"

#include <emscripten/emscripten.h>
#include <emscripten/eventloop.h>

EM_JS(void, zorbel_placeElement, (int element, double left, double top), {
    zorbelPage.place(element, left, top);
});
EM_JS(void, zorbel_showElement, (int element, int visible), { zorbelPage.show(element, visible !== 0); });
EM_JS(double, zorbel_devicePixelsPerPixel, (), { return zorbelPage.devicePixelsPerPixel(); });

namespace zorbel {
namespace {

void tick(void *timer)
{
    static_cast<FormTimer *>(timer)->tick();
}

} // namespace

WebElement::WebElement(PageElement element, float left, float top, int height)
    : PlacedElement(left, top, static_cast<float>(height))
    , m_element(element)
{
    place();
}

void WebElement::setVisible(bool visible)
{
    zorbel_showElement(static_cast<int>(m_element), visible);
}

void WebElement::place()
{
    // The nearest device pixel, given back in design pixels, so the picture
    // is drawn sharp at any zoom and scale.
    const double ratio = zorbel_devicePixelsPerPixel();
    zorbel_placeElement(static_cast<int>(m_element), nearestPixel(Left() * ratio) / ratio, nearestPixel(Top() * ratio) / ratio);
}

void WebTicker::start(FormTimer &timer, int periodMs)
{
    m_interval = emscripten_set_interval(tick, periodMs, &timer);
}

void WebTicker::stop()
{
    emscripten_clear_interval(m_interval);
}

} // namespace zorbel
