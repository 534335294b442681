#include "qttoolkit.h"


#include <QWidget>

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace zorbel {

QtElement::QtElement(QWidget &widget)
    : PlacedElement(static_cast<float>(widget.x()), static_cast<float>(widget.y()), static_cast<float>(widget.height()))
    , m_widget(widget)
{
}

void QtElement::setVisible(bool visible)
{
    m_widget.setVisible(visible);
}

void QtElement::place()
{
    const QPoint pixel(nearestPixel(Left()), nearestPixel(Top()));
    if (m_widget.pos() != pixel)
        m_widget.move(pixel);
}

QtTicker::QtTicker(QObject &owner)
    : m_fd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
    if (m_fd < 0)
        fatalError(std::string("cannot create a timer: ") + std::strerror(errno));
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, &owner);
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { expired(); });
}

QtTicker::~QtTicker()
{
    delete m_notifier;
    ::close(m_fd);
}

void QtTicker::expired()
{
    // Reading resets the count of expirations, however many there were.
    std::uint64_t expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) > 0 && m_timer)
        m_timer->tick();
}

void QtTicker::start(FormTimer &timer, int periodMs)
{
    m_timer = &timer;
    itimerspec period {};
    period.it_interval.tv_sec = periodMs / 1000;
    period.it_interval.tv_nsec = long(periodMs % 1000) * 1000000;
    period.it_value = period.it_interval;
    ::timerfd_settime(m_fd, 0, &period, nullptr);
}

void QtTicker::stop()
{
    const itimerspec stopped {};
    ::timerfd_settime(m_fd, 0, &stopped, nullptr);
}

} // namespace zorbel
