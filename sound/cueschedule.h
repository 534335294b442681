#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <utility>

// Which cue an output that may not be ready yet plays, and when. It keeps no
// clock of its own: the player passes the time in, so the schedule is the
// same whatever clock and event loop the platform has.
namespace zorbel::sound {

// A cue that could not start this soon after it was asked for (the output
// was still being reached) belongs to a moment that has passed.
inline constexpr std::chrono::milliseconds latestStart { 100 };
// But the first cue of a connection (the release cue at start) waits for the
// connection and its output: on a busy machine, or while the server wakes its
// sink, it may come late, but it comes, and those that follow it keep their
// distance from it.
inline constexpr std::chrono::seconds firstCueLatestStart { 2 };

// Cue: anything with a `std::chrono::steady_clock::time_point asked`, when
// the program asked for it.

// For an output that is reached and opened for the cues, and plays each at
// once when it is ready (the sound server's stream).
template <typename Cue>
class CueSchedule {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // The newest cue replaces any that is still waiting for the output, but
    // for the first cue of a connection: what comes while that one waits
    // follows it, in order, as far behind it as it was asked.
    void ask(Cue cue)
    {
        if (!m_following.empty() || (!m_started && m_waiting))
            m_following.push_back(std::move(cue));
        else
            m_waiting = std::move(cue);
    }

    // The cue sounding was silenced: nothing asked before plays any more.
    void clear()
    {
        m_waiting.reset();
        m_following.clear();
    }

    // The cue waiting for the output, if any (the output is made for it).
    const Cue *waiting() const { return m_waiting ? &*m_waiting : nullptr; }

    // With the output ready: the waiting cue, to start now. A cue whose moment
    // has passed, or any while the output is `stuck`, is dropped instead.
    std::optional<Cue> take(TimePoint now, bool stuck)
    {
        if (!m_waiting)
            return std::nullopt;
        Cue cue = std::move(*m_waiting);
        m_waiting.reset();
        const bool first = !std::exchange(m_started, true);
        const auto late = now - cue.asked;
        if (late > (first ? TimePoint::duration(firstCueLatestStart) : TimePoint::duration(latestStart)) || stuck)
            return std::nullopt;
        if (first)
            m_lateBy = late;
        return cue;
    }

    // When the next cue that came while the first one waited is due: once
    // the first has started, or at once if that one never will.
    std::optional<TimePoint> followAt() const
    {
        if (m_following.empty() || !m_started)
            return std::nullopt;
        return m_following.front().asked + m_lateBy;
    }

    // At followAt(): that cue waits now, belonging to the moment it was asked
    // for, as late as the first cue.
    void follow()
    {
        if (m_following.empty())
            return;
        m_waiting = std::move(m_following.front());
        m_following.pop_front();
        m_waiting->asked += m_lateBy;
    }

    // The output went: what followed the first cue goes with it.
    void outputLost() { m_following.clear(); }

    // A new connection: its first cue waits for it. A cue that waited for the
    // one that went away belongs to the past.
    void restart()
    {
        clear();
        m_started = false;
        m_lateBy = {};
    }

private:
    std::optional<Cue> m_waiting;
    std::deque<Cue> m_following; // what came while the first cue waited, in order
    TimePoint::duration m_lateBy {}; // how late the first cue of the connection started
    bool m_started = false; // a cue of this connection has been started or dropped
};

} // namespace zorbel::sound
