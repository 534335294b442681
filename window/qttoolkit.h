#pragma once

#include "toolkit.h"

#include <QTimer>

#include <functional>

class QWidget;

// The toolkit the ball logic runs on, made of Qt widgets and timers.
namespace zorbel {

// A widget seen as a toolkit element. Qt places widgets at whole pixels, but
// the ball logic compares positions it wrote with positions it reads back, so
// the element keeps the exact floats and only draws at the rounded pixel.
class QtElement final : public toolkit::Element {
public:
    explicit QtElement(QWidget &widget);

    float Left() const override { return m_left; }
    float Top() const override { return m_top; }
    void setLeft(float left);
    void setTop(float top) override;
    float Height() const override;
    void setVisible(bool visible) override;
    void Move(float left, float top) override;

private:
    void place();

    QWidget &m_widget;
    float m_left;
    float m_top;
};

// A periodic timer whose ticks run a handler. Periods under 10 ms are raised
// to 10 ms, so a 1 ms and a 10 ms timer tick together.
class QtTimer final : public toolkit::Timer {
public:
    static constexpr int shortestPeriodMs = 10;

    QtTimer(QObject &owner, int requestedPeriodMs, std::function<void()> onTick);

    void setEnabled(bool enabled) override;
    bool isEnabled() const { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace zorbel
