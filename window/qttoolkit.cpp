#include "qttoolkit.h"

#include "handlers.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace zorbel {
namespace {

// Far beyond any screen, yet well inside int: a ball thrown miles away is
// simply not drawn.
constexpr float farthestPixel = 1 << 20;

int toPixel(float coordinate)
{
    return static_cast<int>(std::lrint(std::clamp(coordinate, -farthestPixel, farthestPixel)));
}

} // namespace

QtElement::QtElement(QWidget &widget)
    : m_widget(widget)
    , m_left(static_cast<float>(widget.x()))
    , m_top(static_cast<float>(widget.y()))
{
}

void QtElement::setLeft(float left)
{
    m_left = left;
    place();
}

void QtElement::setTop(float top)
{
    m_top = top;
    place();
}

float QtElement::Height() const
{
    return static_cast<float>(m_widget.height());
}

void QtElement::setVisible(bool visible)
{
    m_widget.setVisible(visible);
}

void QtElement::Move(float left, float top)
{
    m_left = left;
    m_top = top;
    place();
}

void QtElement::place()
{
    const QPoint pixel(toPixel(m_left), toPixel(m_top));
    if (m_widget.pos() != pixel)
        m_widget.move(pixel);
}

QtTimer::QtTimer(QObject &owner, int requestedPeriodMs, std::function<void()> onTick)
    : m_timer(&owner)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(std::max(requestedPeriodMs, shortestPeriodMs));
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [handler = std::move(onTick)] { runHandler(handler); });
}

void QtTimer::setEnabled(bool enabled)
{
    // Restarting a running QTimer would shift its phase; an enabled timer
    // must tick on as before.
    if (enabled && !m_timer.isActive())
        m_timer.start();
    else if (!enabled)
        m_timer.stop();
}

} // namespace zorbel
