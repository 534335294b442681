#pragma once

#include "placedelement.h"
#include "toolkit.h"

#include <QSocketNotifier>

#include <functional>

class QWidget;

// The toolkit the ball logic runs on, made of Qt widgets and timers.
namespace zorbel {

// A widget seen as a toolkit element.
class QtElement final : public PlacedElement {
public:
    explicit QtElement(QWidget &widget);

    float Height() const override;
    void setVisible(bool visible) override;

private:
    void place() override;

    QWidget &m_widget;
};

// A periodic timer whose ticks run a handler. Periods under 10 ms are raised
// to 10 ms, so a 1 ms and a 10 ms timer tick together.
//
// A kernel timer (timerfd) watched by the event loop, not a QTimer: Qt rounds
// every wait for a QTimer to a whole millisecond, so its 10 ms ticks come
// unevenly (figures in bench/results), while the kernel's timer keeps each
// tick on its time.
// Like a QTimer it never catches up: ticks missed while the loop was busy are
// dropped.
class QtTimer final : public toolkit::Timer {
public:
    // The notifier is a child of owner, where fatalError finds it.
    QtTimer(QObject &owner, int requestedPeriodMs, std::function<void()> onTick);
    ~QtTimer() override;
    QtTimer(const QtTimer &) = delete;
    QtTimer &operator=(const QtTimer &) = delete;

    void setEnabled(bool enabled) override;
    bool isEnabled() const { return m_enabled; }

private:
    void tick();

    int m_periodMs;
    int m_fd;
    QSocketNotifier *m_notifier;
    std::function<void()> m_onTick;
    bool m_enabled = false;
};

} // namespace zorbel
