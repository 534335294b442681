#pragma once

#include "cueschedule.h"
#include "pulse.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace zorbel::sound {

using Clock = std::chrono::steady_clock;

// The program's own cues, so the stream opened at start-up fits them.
inline constexpr pa_sample_spec cueFormat { PA_SAMPLE_U8, 11025, 1 };

struct Cue {
    pa_sample_spec format = cueFormat;
    std::vector<std::uint8_t> samples; // none: only silence the cue sounding
    std::chrono::microseconds duration {};
    Clock::time_point asked;
};

// The connection to the server and its one stream, kept for the whole run.
// Lives on the sound thread, which runs `loop` and calls settle() after each
// pass; nothing here waits on the server.
class Connection {
public:
    Connection(const Pulse &pa, pa_mainloop *loop);
    ~Connection();

    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Reached at start-up, so the first cue finds the stream ready.
    void connect();
    // Plays the cue as soon as the stream is ready for it, as its schedule
    // (CueSchedule) says; one without samples silences the cue sounding.
    void play(Cue cue);
    // After the loop's events: lets go of what the server ended.
    void settle();

private:
    pa_proplist *identity() const;

    static void onContextState(pa_context *context, void *self);
    static void onStreamState(pa_stream *stream, void *self);
    static void onAnswer(pa_stream *, int, void *self);
    static void onRest(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self);
    static void onFollow(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self);

    void start();
    void pauseLater(std::chrono::microseconds playing);
    void followLater();
    void silence();
    void pause();
    void ask(pa_operation *question);
    void openStream(const pa_sample_spec &format);
    void releaseStream();
    void release();
    void warnNoServer();
    void warnOnce(const std::string &line);

    const Pulse &m_pa;
    pa_mainloop_api *m_api;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    pa_time_event *m_restTimer = nullptr;
    pa_time_event *m_followTimer = nullptr;
    CueSchedule<Cue> m_schedule;
    int m_unanswered = 0;
    bool m_paused = true;
    bool m_everReady = false;
    bool m_warned = false;
};

} // namespace zorbel::sound
