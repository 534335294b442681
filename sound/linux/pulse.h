#pragma once

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/timeval.h>

// libpulse is loaded by the sound thread rather than linked: the program then
// needs no libpulse0 package, which brings codec libraries along that the cues
// never use, and where it is missing the program only stays silent. Its
// headers give the types; the functions come from the table below.
namespace zorbel::sound {

// The libpulse functions the player calls, each without its "pa_" prefix:
// one list, expanded for the table's members and for their look-up.
#define ZORBEL_PULSE_FUNCTIONS(X) \
    X(mainloop_new) \
    X(mainloop_free) \
    X(mainloop_get_api) \
    X(mainloop_iterate) \
    X(mainloop_wakeup) \
    X(context_new_with_proplist) \
    X(context_set_state_callback) \
    X(context_connect) \
    X(context_get_state) \
    X(context_errno) \
    X(context_disconnect) \
    X(context_unref) \
    X(context_rttime_new) \
    X(context_rttime_restart) \
    X(stream_new_with_proplist) \
    X(stream_set_state_callback) \
    X(stream_connect_playback) \
    X(stream_get_state) \
    X(stream_get_sample_spec) \
    X(stream_flush) \
    X(stream_write) \
    X(stream_cork) \
    X(stream_disconnect) \
    X(stream_unref) \
    X(operation_unref) \
    X(proplist_new) \
    X(proplist_sets) \
    X(proplist_free) \
    X(strerror) \
    X(rtclock_now) \
    X(sample_spec_equal) \
    X(usec_to_bytes) \
    X(frame_size)

struct Pulse {
#define ZORBEL_PULSE_MEMBER(name) decltype(&pa_##name) name;
    ZORBEL_PULSE_FUNCTIONS(ZORBEL_PULSE_MEMBER)
#undef ZORBEL_PULSE_MEMBER
};

// libpulse, loaded once for the whole run and never unloaded: a sound thread
// left to the process's end may still be inside it. Null, after one line on
// stderr, where it cannot be loaded.
const Pulse *loadPulse();

} // namespace zorbel::sound
