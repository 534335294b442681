// Plays the embedded cues on a schedule through modDichiarazioniComuni, as the
// program does, and prints what the sound tests check:
//
//   cue_player_driver play 103@0,102@350,... [--rec-file RAW] [--idle-check MS] [--watch PID]...
//       one "play" line per cue (when it was asked for, how long the call took,
//       how far the recording had got, how long this process's threads and
//       those of the processes watched had waited for a CPU so far), then
//       "after", "idle" and "exit" lines
//   cue_player_driver play - [...]
//       the same, playing each id read from stdin at once, until its end

#include "moddichiarazionicomuni.h"
#include "pulsesound.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <fstream>
#include <map>
#include <sstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Cue {
    std::int16_t id;
    std::chrono::milliseconds at;
};

// "ID@MS,ID@MS,..."
std::vector<Cue> parseSchedule(const std::string &text)
{
    std::vector<Cue> cues;
    std::istringstream items(text);
    for (std::string item; std::getline(items, item, ',');) {
        int id = 0;
        int at = 0;
        if (std::sscanf(item.c_str(), "%d@%d", &id, &at) != 2)
            throw std::invalid_argument("schedule item not ID@MS: " + item);
        cues.push_back({ static_cast<std::int16_t>(id), std::chrono::milliseconds(at) });
    }
    return cues;
}

// Samples (s16, mono) the recorder has written so far, or -1 without a recording.
long long recordedSamples(const char *recording)
{
    struct stat info {};
    if (!recording || stat(recording, &info) != 0)
        return -1;
    return static_cast<long long>(info.st_size) / 2;
}

// How long, in ms, the threads of this process and of the processes
// `watched` (the sound server's) have waited for a CPU so far: what tells a
// busy machine from a late player.
double runQueueWait(const std::vector<std::string> &watched)
{
    long long total = 0;
    for (const std::string &pid : watched) {
        const QString tasks = QStringLiteral("/proc/%1/task").arg(QString::fromStdString(pid));
        for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            std::ifstream stat((tasks + "/" + task + "/schedstat").toStdString());
            long long running = 0;
            long long waiting = 0;
            if (stat >> running >> waiting)
                total += waiting;
        }
    }
    return static_cast<double>(total) / 1e6;
}

// Context switches of each of this process's threads, by thread id.
std::map<std::string, std::pair<std::string, long long>> contextSwitches()
{
    std::map<std::string, std::pair<std::string, long long>> threads;
    const QStringList ids = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &id : ids) {
        QFile status(QStringLiteral("/proc/self/task/%1/status").arg(id));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        std::string name;
        long long switches = 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Name:"))
                name = line.mid(5).trimmed().toStdString();
            else if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                switches += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        threads[id.toStdString()] = {name, switches};
    }
    return threads;
}

// Prints the wake-ups of every thread but this one over the given time.
void reportIdleWakeups(std::chrono::milliseconds period)
{
    const std::string self = std::to_string(gettid());
    const auto before = contextSwitches();
    std::this_thread::sleep_for(period);
    const auto after = contextSwitches();
    long long total = 0;
    std::string detail;
    for (const auto &[id, thread] : after) {
        if (id == self)
            continue;
        const auto earlier = before.find(id);
        const long long wakeups = thread.second - (earlier == before.end() ? 0 : earlier->second.second);
        total += wakeups;
        detail += " " + thread.first + "=" + std::to_string(wakeups);
    }
    std::printf("idle %lld ms wakeups %lld threads%s\n", static_cast<long long>(period.count()), total, detail.c_str());
}

int play(const std::vector<Cue> &schedule, const char *recording, std::chrono::milliseconds idleCheck,
         const std::vector<std::string> &watched)
{
    auto sounds = std::make_unique<zorbel::sound::modDichiarazioniComuni>(std::make_unique<zorbel::sound::PulseSound>());
    const Clock::time_point start = Clock::now();
    const auto playNow = [&](std::int16_t id) {
        const long long recorded = recordedSamples(recording);
        const double waited = runQueueWait(watched);
        const Clock::time_point called = Clock::now();
        sounds->PlaySoundResource(id);
        const Clock::time_point returned = Clock::now();
        std::printf("play %d at %.1f ms took %.3f ms rec_sample %lld rq_wait_ms %.1f\n", id,
                    std::chrono::duration<double, std::milli>(called - start).count(),
                    std::chrono::duration<double, std::milli>(returned - called).count(), recorded, waited);
        std::fflush(stdout);
    };
    for (const Cue &cue : schedule) {
        std::this_thread::sleep_until(start + cue.at);
        playNow(cue.id);
    }
    if (schedule.empty()) {
        for (std::string line; std::getline(std::cin, line);)
            playNow(static_cast<std::int16_t>(std::stoi(line)));
    }
    // Long enough for the last cue to play out and its stream to close.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    std::printf("after rq_wait_ms %.1f\n", runQueueWait(watched));
    if (idleCheck.count() > 0)
        reportIdleWakeups(idleCheck);

    const Clock::time_point closing = Clock::now();
    sounds.reset();
    std::printf("exit player closed in %.1f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - closing).count());
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || std::strcmp(argv[1], "play") != 0) {
        std::fprintf(stderr, "usage: %s play ID@MS,...|- [--rec-file RAW] [--idle-check MS] [--watch PID]...\n", argv[0]);
        return 2;
    }
    const char *recording = nullptr;
    std::chrono::milliseconds idleCheck {0};
    std::vector<std::string> watched { "self" };
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rec-file") == 0)
            recording = argv[i + 1];
        else if (std::strcmp(argv[i], "--idle-check") == 0)
            idleCheck = std::chrono::milliseconds(std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--watch") == 0)
            watched.push_back(argv[i + 1]);
    }
    try {
        const std::string schedule = argv[2];
        return play(schedule == "-" ? std::vector<Cue> {} : parseSchedule(schedule), recording, idleCheck, watched);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
}
