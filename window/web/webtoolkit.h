#pragma once

#include "placedelement.h"
#include "toolkit.h"

#include <functional>

// The toolkit the ball logic runs on, made of the page's elements and the
// browser's interval timers. The page's side is window/web/page.js.
namespace zorbel {

// The page's elements, by the number page.js knows them by.
enum class PageElement : int {
    ball = 0,
    label = 1,
    button = 2,
};

// An element of the page seen as a toolkit element. Positions are design
// pixels, drawn at the nearest device pixel.
class WebElement final : public PlacedElement {
public:
    WebElement(PageElement element, float left, float top, int height);

    float Height() const override { return static_cast<float>(m_height); }
    void setVisible(bool visible) override;

    // Also called again when the device pixels per design pixel have changed.
    void place() override;

private:
    PageElement m_element;
    int m_height;
};

// A periodic timer whose ticks run a handler: the browser's setInterval.
// Periods under 10 ms are raised to 10 ms, so a 1 ms and a 10 ms timer tick
// together. A late tick only comes late: the next keeps to the schedule.
class WebTimer final : public toolkit::Timer {
public:
    WebTimer(int requestedPeriodMs, std::function<void()> onTick);
    ~WebTimer() override;
    WebTimer(const WebTimer &) = delete;
    WebTimer &operator=(const WebTimer &) = delete;

    void setEnabled(bool enabled) override;

    // Stops every timer of the program, for the fatal-error path and the end.
    static void stopAll();

private:
    static void tick(void *timer);

    int m_periodMs;
    std::function<void()> m_onTick;
    long m_interval = 0; // the browser's id while enabled
    bool m_enabled = false;
};

} // namespace zorbel
