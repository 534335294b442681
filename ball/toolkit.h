#pragma once

#include <string>

// What the ball logic and the window's own handlers need of the window
// toolkit, and nothing more. Each platform gives it its own widgets and
// timers; the tests give it a fake.
namespace zorbel::toolkit {

class Element {
public:
    virtual ~Element() = default;

    // A position written reads back as exactly the same float, wherever the
    // toolkit actually draws the element: settling compares these values.
    virtual float Left() const = 0;
    virtual float Top() const = 0;
    virtual void setLeft(float left) = 0;
    virtual void setTop(float top) = 0;
    virtual float Height() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual void Move(float left, float top) = 0;
};

class Window {
public:
    Window() = default;
    virtual ~Window() = default;
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    // Visible at once, not modal, and with the client size it will keep:
    // ScaleWidth and ScaleHeight read the real size afterwards.
    virtual void Show() = 0;
    // Repaints the window and its elements at once.
    virtual void Refresh() = 0;
    virtual float ScaleWidth() const = 0;
    virtual float ScaleHeight() const = 0;
    virtual void setCaption(const std::string &caption) = 0;
};

class Timer {
public:
    virtual ~Timer() = default;

    // Enabling an enabled timer changes nothing; disabling stops further
    // ticks, also from inside the timer's own tick.
    virtual void setEnabled(bool enabled) = 0;
};

} // namespace zorbel::toolkit
