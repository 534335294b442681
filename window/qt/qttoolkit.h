#pragma once

#include "windowport.h"

#include <QSocketNotifier>

class QWidget;

// The toolkit the ball logic runs on, made of Qt widgets and timers.
namespace zorbel {

// A widget seen as a toolkit element.
class QtElement final : public PlacedElement {
public:
    explicit QtElement(QWidget &widget);

    void setVisible(bool visible) override;

private:
    void place() override;

    QWidget &m_widget;
};

// The timers' clock: a kernel timer (timerfd) watched by the event loop, not
// a QTimer. Qt rounds every wait for a QTimer to a whole millisecond, so its
// 10 ms ticks come unevenly (figures in bench/results), while the kernel's
// timer keeps each tick on its time.
class QtTicker final : public Ticker {
public:
    // The notifier is a child of owner.
    explicit QtTicker(QObject &owner);
    ~QtTicker();
    QtTicker(const QtTicker &) = delete;
    QtTicker &operator=(const QtTicker &) = delete;

    void start(FormTimer &timer, int periodMs) override;
    void stop() override;

private:
    void expired();

    int m_fd;
    QSocketNotifier *m_notifier;
    FormTimer *m_timer = nullptr;
};

// A message box, where there is a screen to show it on.
class QtErrorScreen final : public ErrorScreen {
public:
    void stopInput() override;
    void showError(std::string_view text) override;
};

} // namespace zorbel
