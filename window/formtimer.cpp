#include "windowport.h"

#include "design.h"

#include <vector>

namespace zorbel {
namespace {

std::vector<FormTimer *> &allTimers()
{
    static std::vector<FormTimer *> timers;
    return timers;
}

} // namespace

FormTimer::FormTimer(Ticker &ticker, int requestedPeriodMs, std::function<void()> onTick)
    : m_ticker(ticker)
    , m_periodMs(std::max(requestedPeriodMs, design::shortestTimerPeriodMs))
    , m_onTick(std::move(onTick))
{
    allTimers().push_back(this);
}

FormTimer::~FormTimer()
{
    setEnabled(false);
    std::erase(allTimers(), this);
}

void FormTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled)
        m_ticker.start(*this, m_periodMs);
    else
        m_ticker.stop();
}

void FormTimer::tick()
{
    if (m_enabled)
        runHandler(m_onTick);
}

void FormTimer::stopAll()
{
    for (FormTimer *timer : allTimers())
        timer->setEnabled(false);
}

} // namespace zorbel
