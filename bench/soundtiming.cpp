// Times the sound cues against a recording of the sound server's null sink:
//
//   soundtiming zorbel|floor CUES SPACING_MS[,SPACING_MS...]
//
// zorbel  plays through modDichiarazioniComuni, as the program does
// floor   writes the same cue bytes to one plain PulseAudio stream that
//         starts at the first byte: the least any player can do
//
// Plays CUES cues, release and bounce in turn, SPACING_MS apart, so each
// starts in silence; with a list, cue i comes the i-th spacing after the one
// before it (the last spacing repeats). One line per cue:
//
//   cue ID call_ms CALL onset_ms ONSET gap_ms GAP
//
// CALL is how long the play call held the caller. ONSET is from the call to
// the cue's first loud sample in the recording, placed in time by when its
// block of the recording arrived here, so it includes the recording's own
// path; the floor measures that path too. GAP is how much of the cue, in
// 1 ms blocks from that onset to its end, is missing from the recording (a
// block the cue fills that the recording leaves near silent). Needs
// PULSE_SERVER pointing at a PulseAudio or pipewire-pulse server with a sink
// named nullsink (tests/lib/pulse.sh).

#include "moddichiarazionicomuni.h"
#include "pulsesound.h"
#include "wavimage.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int recordRate = 44100;
constexpr int recordBlockFrames = recordRate / 1000; // 1 ms blocks keep the arrival times close
constexpr int loud = 1000; // about -30 dBFS, as the sound tests count cues

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

[[noreturn]] void die(const std::string &what)
{
    std::fprintf(stderr, "soundtiming: %s\n", what.c_str());
    std::exit(2);
}

// A cue's samples as 16-bit values at the recording's rate.
std::vector<double> asRecorded(const zorbel::sound::WavImage &wav)
{
    const int bytesPerSample = wav.bitsPerSample / 8;
    const std::size_t frames = wav.samples.size() / std::size_t(wav.bytesPerFrame());
    std::vector<double> out(frames * recordRate / std::size_t(wav.sampleRate));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t at = i * std::size_t(wav.sampleRate) / recordRate * std::size_t(wav.bytesPerFrame());
        out[i] = bytesPerSample == 1 ? (wav.samples[at] - 128) * 256.0
                                     : double(std::int16_t(wav.samples[at] | wav.samples[at + 1] << 8));
    }
    return out;
}

double rms(const double *samples, std::size_t count)
{
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += samples[i] * samples[i];
    return std::sqrt(sum / double(count));
}

// The null sink's monitor, read in 1 ms blocks on a thread of its own; each
// block is stamped with the time it arrived.
class Recorder {
public:
    Recorder()
    {
        const pa_sample_spec spec { PA_SAMPLE_S16LE, recordRate, 1 };
        pa_buffer_attr attr {};
        attr.maxlength = std::uint32_t(-1);
        attr.fragsize = recordBlockFrames * 2;
        int error = 0;
        m_stream = pa_simple_new(nullptr, "soundtiming", PA_STREAM_RECORD, "nullsink.monitor", "recording", &spec,
                                 nullptr, &attr, &error);
        if (!m_stream)
            die(std::string("cannot record nullsink.monitor: ") + pa_strerror(error));
        m_thread = std::thread([this] { record(); });
        while (m_blocks.load() < 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    ~Recorder()
    {
        m_stop = true;
        m_thread.join();
        pa_simple_free(m_stream);
    }

    struct Loud {
        Clock::time_point when; // the epoch when nothing loud came
        std::size_t sample = 0;
    };

    // The first loud sample at or after `from` that came within `within`.
    Loud firstLoud(Clock::time_point from, Clock::duration within) const
    {
        std::lock_guard lock(m_mutex);
        for (std::size_t block = 0; block < m_arrivals.size(); ++block) {
            const Clock::time_point arrived = m_arrivals[block];
            if (arrived < from)
                continue;
            if (arrived > from + within)
                break;
            for (int i = 0; i < recordBlockFrames; ++i) {
                const std::size_t at = block * recordBlockFrames + std::size_t(i);
                if (std::abs(int { m_samples[at] }) > loud)
                    return { arrived - std::chrono::microseconds((recordBlockFrames - 1 - i) * 1000000LL / recordRate),
                             at };
            }
        }
        return {};
    }

    // Milliseconds of `cue`, laid over the recording from `start`, that the
    // recording is missing.
    int gapMs(const std::vector<double> &cue, std::size_t start) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<double> heard(recordBlockFrames);
        int missing = 0;
        for (std::size_t at = 0; at + recordBlockFrames <= cue.size(); at += recordBlockFrames) {
            const double meant = rms(cue.data() + at, recordBlockFrames);
            if (meant < loud || start + at + recordBlockFrames > m_samples.size())
                continue;
            for (int i = 0; i < recordBlockFrames; ++i)
                heard[std::size_t(i)] = m_samples[start + at + std::size_t(i)];
            if (rms(heard.data(), heard.size()) < meant / 4)
                ++missing;
        }
        return missing;
    }

private:
    void record()
    {
        std::vector<std::int16_t> block(recordBlockFrames);
        while (!m_stop) {
            int error = 0;
            if (pa_simple_read(m_stream, block.data(), block.size() * 2, &error) < 0)
                die(std::string("recording failed: ") + pa_strerror(error));
            const Clock::time_point now = Clock::now();
            std::lock_guard lock(m_mutex);
            m_samples.insert(m_samples.end(), block.begin(), block.end());
            m_arrivals.push_back(now);
            ++m_blocks;
        }
    }

    pa_simple *m_stream = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop { false };
    std::atomic<int> m_blocks { 0 };
    mutable std::mutex m_mutex;
    std::vector<std::int16_t> m_samples;
    std::vector<Clock::time_point> m_arrivals;
};

// One stream in the cue's own format that starts playing from the first
// bytes written. After a cue has played out it stops and waits to be filled
// again: one that kept running would discard what comes after, as written
// behind the point it has played to.
class PlainStream {
public:
    explicit PlainStream(const zorbel::sound::WavImage &wav)
    {
        const pa_sample_spec spec { wav.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE,
                                    std::uint32_t(wav.sampleRate), std::uint8_t(wav.channels) };
        pa_buffer_attr attr {};
        attr.maxlength = std::uint32_t(-1);
        attr.tlength = 1 << 16; // takes a whole cue at once
        attr.prebuf = std::uint32_t(wav.bytesPerFrame());
        attr.minreq = std::uint32_t(-1);
        int error = 0;
        m_stream = pa_simple_new(nullptr, "soundtiming", PA_STREAM_PLAYBACK, nullptr, "cue", &spec, nullptr, &attr,
                                 &error);
        if (!m_stream)
            die(std::string("cannot open a playback stream: ") + pa_strerror(error));
    }

    ~PlainStream() { pa_simple_free(m_stream); }

    void play(std::span<const std::uint8_t> samples)
    {
        int error = 0;
        if (pa_simple_write(m_stream, samples.data(), samples.size(), &error) < 0)
            die(std::string("playing failed: ") + pa_strerror(error));
    }

private:
    pa_simple *m_stream = nullptr;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4 || (std::strcmp(argv[1], "zorbel") != 0 && std::strcmp(argv[1], "floor") != 0))
        die("usage: soundtiming zorbel|floor CUES SPACING_MS[,SPACING_MS...]");
    const bool floor = std::strcmp(argv[1], "floor") == 0;
    const int cues = std::atoi(argv[2]);
    std::vector<std::chrono::milliseconds> spacings;
    for (char *at = argv[3]; *at;) {
        spacings.emplace_back(std::strtol(at, &at, 10));
        if (*at == ',')
            ++at;
    }

    const std::int16_t ids[] = { zorbel::sound::releaseSound, zorbel::sound::bounceSound };
    const std::vector<std::uint8_t> images[] = { zorbel::sound::PulseSound::resource(ids[0]), zorbel::sound::PulseSound::resource(ids[1]) };
    std::vector<zorbel::sound::WavImage> wavs;
    std::vector<std::vector<double>> recordedForms;
    for (const auto &image : images) {
        const auto wav = zorbel::sound::WavImage::parse(image);
        if (!wav)
            die("an embedded cue is not a WAV file");
        wavs.push_back(*wav);
        recordedForms.push_back(asRecorded(*wav));
    }

    Recorder recorder;
    auto sounds = floor ? nullptr : std::make_unique<zorbel::sound::modDichiarazioniComuni>(std::make_unique<zorbel::sound::PulseSound>());
    auto plain = floor ? std::make_unique<PlainStream>(wavs[0]) : nullptr;

    struct Play {
        std::int16_t id;
        Clock::time_point called;
        Clock::duration took;
        int firstLoudFrame; // where the cue itself first gets loud
        int rate;
        std::size_t which;
    };
    std::vector<Play> plays;
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(200);
    for (int i = 0; i < cues; ++i) {
        const std::size_t which = std::size_t(i % 2);
        const auto &wav = wavs[which];
        int firstLoudFrame = 0;
        const int bytesPerSample = wav.bitsPerSample / 8;
        for (std::size_t at = 0; at + std::size_t(bytesPerSample) <= wav.samples.size(); at += std::size_t(wav.bytesPerFrame())) {
            const int value = bytesPerSample == 1 ? (wav.samples[at] - 128) * 256
                                                  : std::int16_t(wav.samples[at] | wav.samples[at + 1] << 8);
            if (std::abs(value) > loud)
                break;
            ++firstLoudFrame;
        }
        std::this_thread::sleep_until(due);
        due += spacings[std::min(std::size_t(i), spacings.size() - 1)];
        const Clock::time_point called = Clock::now();
        if (floor)
            plain->play(wav.samples);
        else
            sounds->PlaySoundResource(ids[which]);
        plays.push_back({ ids[which], called, Clock::now() - called, firstLoudFrame, wav.sampleRate, which });
    }
    std::this_thread::sleep_until(due + std::chrono::milliseconds(300));

    for (const Play &play : plays) {
        const Recorder::Loud heard = recorder.firstLoud(play.called - std::chrono::milliseconds(5),
                                                        std::chrono::milliseconds(300));
        const double cueOffsetMs = 1000.0 * play.firstLoudFrame / play.rate;
        if (heard.when == Clock::time_point {}) {
            std::printf("cue %d call_ms %.3f onset_ms none gap_ms none\n", play.id, ms(play.took));
            continue;
        }
        const std::size_t offset = std::size_t(play.firstLoudFrame) * recordRate / std::size_t(play.rate);
        const std::string gap = heard.sample >= offset
            ? std::to_string(recorder.gapMs(recordedForms[play.which], heard.sample - offset))
            : "none";
        std::printf("cue %d call_ms %.3f onset_ms %.2f gap_ms %s\n", play.id, ms(play.took),
                    ms(heard.when - play.called) - cueOffsetMs, gap.c_str());
    }
    std::fflush(stdout);
    sounds.reset();
    plain.reset();
    return 0;
}
