// Plays the embedded cues through modDichiarazioniComuni, as the program does:
//
//   cue_player_driver play 103@0,102@350,...|startup|- [--rec-file RAW] [--idle-check MS] [--watch PID]...
//
// each at its ms (or on the startup drop's schedule), or each id read from
// stdin at once ("-"). Prints a "play" line per cue (when asked for, how long
// the call took, how far the recording had got, how long this process's and
// the watched (server's) threads had waited for a CPU), then "after", "idle", "exit".

#include "moddichiarazionicomuni.h"
#include "pulsesound.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

// What `read` takes from file `name` of each task of process `pid` ("self" for this one), by task id.
template<typename Read>
std::map<std::string, long long> perTask(const std::string &pid, const char *name, Read read)
{
    std::map<std::string, long long> values;
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator("/proc/" + pid + "/task", error)) {
        std::ifstream file(task.path() / name);
        values[task.path().filename().string()] = read(file);
    }
    return values;
}

long long waitedNs(std::istream &schedstat)
{
    long long running = 0, waiting = 0;
    return schedstat >> running >> waiting ? waiting : 0;
}

// How long, in ms, the threads of the processes watched have waited for a
// CPU so far: what tells a busy machine from a late player.
double runQueueWait(const std::vector<std::string> &watched)
{
    long long total = 0;
    for (const std::string &pid : watched) {
        for (const auto &[task, waited] : perTask(pid, "schedstat", waitedNs))
            total += waited;
    }
    return static_cast<double>(total) / 1e6;
}

// How long, in ms, this thread has waited for a CPU so far.
double threadWait()
{
    std::ifstream schedstat("/proc/thread-self/schedstat");
    return static_cast<double>(waitedNs(schedstat)) / 1e6;
}

// How often each thread of this process was switched to, by thread id.
std::map<std::string, long long> contextSwitches()
{
    return perTask("self", "status", [](std::istream &in) {
        long long switches = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.find("ctxt_switches:") != std::string::npos)
                switches += std::stoll(line.substr(line.find(':') + 1));
        }
        return switches;
    });
}

// The program's startup drop: the release cue, then a bounce cue on each 10 ms
// tick where the ball touches the floor. The last few come closer together
// than a bounce cue lasts.
constexpr const char *startupDrop
    = "103@0,102@350,102@870,102@1280,102@1590,102@1820,102@1990,102@2120,102@2210,102@2280,102@2330";

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || std::strcmp(argv[1], "play") != 0) {
        std::fprintf(stderr, "usage: %s play ID@MS,...|startup|- [--rec-file RAW] [--idle-check MS] [--watch PID]...\n", argv[0]);
        return 2;
    }
    const char *recording = nullptr;
    int idleCheckMs = 0;
    std::vector<std::string> watched { "self" };
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rec-file") == 0)
            recording = argv[i + 1];
        else if (std::strcmp(argv[i], "--idle-check") == 0)
            idleCheckMs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--watch") == 0)
            watched.push_back(argv[i + 1]);
    }
    const std::string schedule = std::strcmp(argv[2], "startup") == 0 ? startupDrop : argv[2];

    auto sounds = std::make_unique<zorbel::sound::modDichiarazioniComuni>(std::make_unique<zorbel::sound::PulseSound>());
    const Clock::time_point start = Clock::now();
    const auto playNow = [&](int id) {
        struct stat info {};
        const long long recorded = recording && stat(recording, &info) == 0 ? info.st_size / 2 : -1;
        const double waited = runQueueWait(watched);
        const double callerWaited = threadWait();
        const Clock::time_point called = Clock::now();
        sounds->PlaySoundResource(static_cast<std::int16_t>(id));
        const Clock::time_point returned = Clock::now();
        // What of the call a busy machine kept this thread waiting for a CPU.
        const double callWait = threadWait() - callerWaited;
        std::printf("play %d at %.1f ms took %.3f ms rec_sample %lld rq_wait_ms %.1f cpu_wait_ms %.3f\n", id,
                    Ms(called - start).count(), Ms(returned - called).count(), recorded, waited, callWait);
        std::fflush(stdout);
    };
    if (schedule == "-") {
        for (std::string line; std::getline(std::cin, line);)
            playNow(std::stoi(line));
    }
    std::istringstream items(schedule == "-" ? "" : schedule);
    for (std::string item; std::getline(items, item, ',');) {
        int id = 0, at = 0;
        if (std::sscanf(item.c_str(), "%d@%d", &id, &at) != 2) {
            std::fprintf(stderr, "schedule item not ID@MS: %s\n", item.c_str());
            return 2;
        }
        std::this_thread::sleep_until(start + std::chrono::milliseconds(at));
        playNow(id);
    }
    // Long enough for the last cue to play out and its stream to close.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    std::printf("after rq_wait_ms %.1f\n", runQueueWait(watched));
    if (idleCheckMs > 0) {
        // The wake-ups of every thread but this one, which only sleeps.
        const auto before = contextSwitches();
        std::this_thread::sleep_for(std::chrono::milliseconds(idleCheckMs));
        long long total = 0;
        for (const auto &[task, switches] : contextSwitches()) {
            if (task != std::to_string(gettid()))
                total += switches - (before.count(task) ? before.at(task) : 0);
        }
        std::printf("idle %d ms wakeups %lld\n", idleCheckMs, total);
    }
    const Clock::time_point closing = Clock::now();
    sounds.reset();
    std::printf("exit player closed in %.1f ms\n", Ms(Clock::now() - closing).count());
}
