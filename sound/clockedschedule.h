#pragma once

#include <algorithm>
#include <chrono>
#include <deque>
#include <utility>

// When a cue starts on an output that keeps its own time (a browser's audio
// context). The schedule reads no clock: the player passes the output's time in.
namespace zorbel::sound {

// For an output that starts each cue at a time on a clock of its own, which
// moves on only as the output renders, in steps that grow on a busy machine,
// and stands still while the output has yet to start or wakes from rest (a
// browser's audio context).
template <typename Cue>
class ClockedSchedule {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Seconds = std::chrono::duration<double>;

    // Two cues asked for a tick apart can read the same time on the output's
    // clock, and the first would be cut before it is ever heard: each cue
    // starts as long after the one it cuts as it was asked after it, and at
    // least this long after. So it goes too while the clock stands still.
    static constexpr Seconds shortestCue { 0.010 };

    // The output was put to rest; the next cue wakes it (wake()).
    void rest() { m_resting = true; }
    bool resting() const { return m_resting; }

    // A cue for a resting output: the output wakes, and until it runs again
    // (woken()) the cues wait, since a waking output may drop what it is given.
    void wake()
    {
        m_resting = false;
        m_waking = true;
    }
    bool waking() const { return m_waking; }

    // While the output wakes: keeps the cue, in order, and says so.
    bool hold(Cue &cue)
    {
        if (!m_waking)
            return false;
        m_held.push_back(std::move(cue));
        return true;
    }

    // The output runs again: the cues that waited, to start in order now, as
    // far apart as they were asked (startAt()). None when it failed to wake.
    std::deque<Cue> woken(bool running)
    {
        m_waking = false;
        std::deque<Cue> held = std::exchange(m_held, {});
        if (!running)
            held.clear();
        return held;
    }

    // When the cue asked for at `asked` starts on the output's clock, which
    // reads `now`; `cutting` when the cue before may still be sounding.
    Seconds startAt(TimePoint asked, Seconds now, bool cutting) const
    {
        if (!cutting)
            return now;
        return std::max(now, m_startedAt + std::max(Seconds(asked - m_askedAt), shortestCue));
    }

    // The cue asked for at `asked` was started at `at`.
    void started(TimePoint asked, Seconds at)
    {
        m_startedAt = at;
        m_askedAt = asked;
    }

    // How long, from `now` on the output's clock, until the output may rest
    // after a cue started at `at` that lasts `duration`.
    static std::chrono::milliseconds restAfter(Seconds at, Seconds now, Seconds duration, std::chrono::milliseconds rest)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(at - now + duration) + rest;
    }

private:
    std::deque<Cue> m_held;
    Seconds m_startedAt {};
    TimePoint m_askedAt {};
    bool m_resting = false; // put to rest by the player, not held by the browser
    bool m_waking = false;
};

} // namespace zorbel::sound
