#include "clockedschedule.h"
#include "cueschedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

// The schedules driven as the players drive them: CueSchedule (a sound
// server's stream) and ClockedSchedule (a browser's audio context). Each run
// reads events and gives "ID@MS ..." for when each cue that played started.
namespace {

using namespace std::chrono_literals;
using zorbel::sound::ClockedSchedule;
using zorbel::sound::CueSchedule;
using TimePoint = std::chrono::steady_clock::time_point;

struct Cue {
    int id;
    TimePoint asked;
};

std::string &played(std::string &plays, int id, long long ms)
{
    return plays += (plays.empty() ? "" : " ") + std::to_string(id) + "@" + std::to_string(ms);
}

// "ID@MS" asks for a cue; "ready@MS", "lost@MS" (the stream went), "gone@MS"
// (the whole connection went), "clear@MS" (a silencing cue), "stuck@MS" (the
// server stopped answering). A cue asked for tries to start, the output's
// becoming ready starts what waits, and the follow timer fires at followAt().
std::string stream(const char *events)
{
    const TimePoint zero {};
    CueSchedule<Cue> schedule;
    bool ready = false, stuck = false;
    TimePoint clock = zero; // the time of the last event
    std::string plays;
    const auto start = [&](TimePoint now) {
        if (!ready || !schedule.waiting())
            return;
        if (const auto cue = schedule.take(now, stuck))
            played(plays, cue->id, (now - zero) / 1ms);
    };
    // Fires the follow timer up to `until`, as the event loop would.
    const auto followUntil = [&](TimePoint until) {
        for (auto due = schedule.followAt(); due && *due <= until; due = schedule.followAt()) {
            clock = std::max(*due, clock);
            schedule.follow();
            start(clock);
        }
    };
    std::istringstream in(events);
    for (std::string event; in >> event;) {
        const auto at = event.find('@');
        const std::string what = event.substr(0, at);
        const TimePoint now = zero + std::chrono::milliseconds(std::stoi(event.substr(at + 1)));
        followUntil(now);
        clock = now;
        if (what == "ready" || what == "stuck") {
            (what == "ready" ? ready : stuck) = true;
        } else if (what == "lost" || what == "gone") {
            ready = false;
            schedule.outputLost();
            if (what == "gone")
                schedule.restart();
        } else if (what == "clear") {
            schedule.clear();
        } else {
            schedule.ask({ std::stoi(what), now });
        }
        start(now);
    }
    followUntil(TimePoint::max());
    return plays;
}

// "ID@MS/CLOCK" asks for a cue at MS with the output's clock at CLOCK ms,
// "rest@MS" rests the output, "woke@MS/CLOCK" and "failed@MS" end its waking.
// A start is on the output's clock; each cue sounds 100 ms unless cut.
std::string clocked(const char *events)
{
    ClockedSchedule<Cue> schedule;
    using Seconds = ClockedSchedule<Cue>::Seconds;
    Seconds clock {};
    std::optional<Seconds> lastStart;
    std::string plays;
    const auto start = [&](const Cue &cue) {
        const bool cutting = lastStart && clock < *lastStart + 100ms;
        const Seconds at = schedule.startAt(cue.asked, clock, cutting);
        schedule.started(cue.asked, at);
        lastStart = at;
        played(plays, cue.id, std::lround(at / 1ms));
    };
    std::istringstream in(events);
    for (std::string event; in >> event;) {
        int ms = 0, clockMs = 0;
        const std::string what = event.substr(0, event.find('@'));
        std::sscanf(event.c_str() + what.size(), "@%d/%d", &ms, &clockMs);
        clock = std::chrono::milliseconds(clockMs);
        if (what == "rest") {
            schedule.rest();
        } else if (what == "woke" || what == "failed") {
            for (const Cue &cue : schedule.woken(what == "woke"))
                start(cue);
        } else {
            Cue cue { std::stoi(what), TimePoint {} + std::chrono::milliseconds(ms) };
            if (schedule.resting())
                schedule.wake();
            if (!schedule.hold(cue))
                start(cue);
        }
    }
    return plays;
}

struct Case {
    std::string (*run)(const char *events); // stream() or clocked()
    const char *name, *events, *plays;
};

void PrintTo(const Case &c, std::ostream *out) { *out << c.name; }

class Schedule : public testing::TestWithParam<Case> {};

TEST_P(Schedule, PlaysWhatWhen)
{
    EXPECT_EQ(GetParam().run(GetParam().events), GetParam().plays) << GetParam().events;
}

INSTANTIATE_TEST_SUITE_P(
    Cues, Schedule,
    testing::Values(
        Case { stream, "readyOutputPlaysEachCueAtOnce", "ready@0 1@0 2@350 3@400", "1@0 2@350 3@400" },
        Case { stream, "firstCueWaitsForTheOutput", "1@0 ready@1900", "1@1900" },
        Case { stream, "firstCueTooLateIsDropped", "1@0 ready@2001", "" },
        Case { stream, "cuesAskedWhileTheFirstWaitsKeepTheirSpacing", "1@0 2@100 3@150 ready@400", "1@400 2@500 3@550" },
        Case { stream, "laterCuesJoinTheQueueWhileItLasts", "1@0 2@100 ready@400 3@450", "1@400 2@500 3@850" },
        Case { stream, "followersOfADroppedFirstCuePlayOnlyOnTime", "1@0 2@1900 3@1960 ready@2050", "3@2050" },
        Case { stream, "stuckServerDropsTheFirstAndItsFollowers", "1@0 2@100 stuck@150 ready@200", "" },
        Case { stream, "newestCueReplacesOneWaitingForAReopenedStream", "ready@0 1@0 lost@100 2@200 3@250 ready@300",
               "1@0 3@300" },
        Case { stream, "laterCueThan100msIsDropped", "ready@0 1@0 lost@100 2@200 ready@301", "1@0" },
        Case { stream, "cueOnTime100msLatePlays", "ready@0 1@0 lost@100 2@200 ready@300", "1@0 2@300" },
        Case { stream, "lostStreamDropsTheFollowers", "1@0 2@100 lost@150 ready@300", "1@300" },
        Case { stream, "silencingDropsAllThatWaits", "1@0 2@100 clear@150 ready@200", "" },
        Case { stream, "newConnectionsFirstCueWaitsAgain", "ready@0 1@0 gone@100 2@200 3@300 ready@1500", "1@0 2@1500 3@1600" },
        Case { stream, "stuckServerGetsNoCues", "ready@0 stuck@0 1@0 2@300", "" },
        Case { clocked, "movingClockStartsEachCueAtOnce", "1@0/0 2@350/350 3@420/410", "1@0 2@350 3@420" },
        Case { clocked, "stillClockKeepsTheSpacingAsAsked", "1@0/0 2@30/0 3@50/0", "1@0 2@30 3@50" },
        Case { clocked, "cuesAskedATickApartStartAtLeast10msApart", "1@0/0 2@3/0 3@5/0", "1@0 2@10 3@20" },
        Case { clocked, "cueAfterTheLastEndedStartsAtOnce", "1@0/0 2@500/200", "1@0 2@200" },
        Case { clocked, "wakingOutputHoldsCuesInOrderAndSpacing", "1@0/0 rest@5000 2@6000/100 3@6040/100 woke@6100/100",
               "1@0 2@100 3@140" },
        Case { clocked, "outputThatFailsToWakeDropsWhatWaited", "rest@0 1@10/0 2@20/0 failed@30", "" },
        Case { clocked, "restingOutputWakesOnceForItsCues", "rest@0 1@10/0 woke@20/0 2@30/5", "1@0 2@20" }),
    [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

} // namespace
