#include "webtoolkit.h"

#include "design.h"
#include "fatalerror.h"

#include <emscripten/emscripten.h>
#include <emscripten/eventloop.h>

#include <algorithm>
#include <vector>

EM_JS(void, zorbel_placeElement, (int element, double left, double top), {
    zorbelPage.place(element, left, top);
});
EM_JS(void, zorbel_showElement, (int element, int visible), { zorbelPage.show(element, visible !== 0); });
EM_JS(double, zorbel_devicePixelsPerPixel, (), { return zorbelPage.devicePixelsPerPixel(); });

namespace zorbel {
namespace {

std::vector<WebTimer *> &allTimers()
{
    static std::vector<WebTimer *> timers;
    return timers;
}

} // namespace

WebElement::WebElement(PageElement element, float left, float top, int height)
    : PlacedElement(left, top)
    , m_element(element)
    , m_height(height)
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

WebTimer::WebTimer(int requestedPeriodMs, std::function<void()> onTick)
    : m_periodMs(std::max(requestedPeriodMs, design::shortestTimerPeriodMs))
    , m_onTick(std::move(onTick))
{
    allTimers().push_back(this);
}

WebTimer::~WebTimer()
{
    setEnabled(false);
    std::erase(allTimers(), this);
}

void WebTimer::setEnabled(bool enabled)
{
    // Restarting a running timer would shift its phase; an enabled timer
    // must tick on as before.
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled)
        m_interval = emscripten_set_interval(&WebTimer::tick, m_periodMs, this);
    else
        emscripten_clear_interval(m_interval);
}

void WebTimer::tick(void *timer)
{
    auto *self = static_cast<WebTimer *>(timer);
    if (self->m_enabled)
        runHandler(self->m_onTick);
}

void WebTimer::stopAll()
{
    for (WebTimer *timer : allTimers())
        timer->setEnabled(false);
}

} // namespace zorbel
