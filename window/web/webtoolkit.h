#pragma once

#include "windowport.h"

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

    void setVisible(bool visible) override;

    // Also called again when the device pixels per design pixel have changed.
    void place() override;

private:
    PageElement m_element;
};

// The timers' clock: the browser's setInterval. A late tick only comes late:
// the next keeps to the schedule.
class WebTicker final : public Ticker {
public:
    WebTicker() = default;
    WebTicker(const WebTicker &) = delete;
    WebTicker &operator=(const WebTicker &) = delete;

    void start(FormTimer &timer, int periodMs) override;
    void stop() override;

private:
    long m_interval = 0; // the browser's id while running
};

// The browser's alert, once the page takes no more input.
class WebErrorScreen final : public ErrorScreen {
public:
    void stopInput() override;
    void showError(std::string_view text) override;
};

} // namespace zorbel
