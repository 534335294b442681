// libFuzzer target: the input bytes choose the events of one sequence (see
// eventsequence.h). A broken invariant, or an exception the model may not
// throw, aborts so that libFuzzer keeps the input. Build and run it with
// tests/fuzz/run_fuzzer.sh.

#include "eventsequence.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Reads the choices from the input; a dry input ends the sequence.
struct ByteSource {
    const std::uint8_t *data;
    std::size_t size;

    std::uint32_t below(std::uint32_t n)
    {
        std::uint32_t value = 0;
        for (std::uint64_t range = 1; range < n && size > 0; range <<= 8) {
            value = value << 8 | *data++;
            --size;
        }
        return value % n;
    }

    bool exhausted() const { return size == 0; }
};

struct Range {
    const char *name;
    zorbel::fuzz::Reach reach;
    zorbel::fuzz::Counts counts;
};

// The first input byte picks the range: mostly the screen's, where nothing may fail.
Range ranges[] = {
    { "on screen", zorbel::fuzz::onScreen, {} },
    { "chorded", zorbel::fuzz::chorded, {} },
    { "off screen", zorbel::fuzz::offScreen, {} },
};

Range &rangeFor(std::uint8_t byte)
{
    return byte < 160 ? ranges[0] : byte < 208 ? ranges[1] : ranges[2];
}

void report()
{
    for (const Range &range : ranges) {
        const zorbel::fuzz::Counts &c = range.counts;
        std::fprintf(stderr,
                     "ball_fuzzer: %s: %lld events; %lld releases watched until rest in %lld ticks, the longest %d "
                     "ticks; at most %d bounces in a drop; %lld sequences ended by a run-time error\n",
                     range.name, c.events, c.settles, c.watchedTicks, c.longestSettle, c.mostBounces,
                     c.runtimeErrors);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::atexit(report);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    Range &range = rangeFor(data[0]);
    ByteSource source { data + 1, size - 1 };
    zorbel::fuzz::EventSequence<ByteSource> sequence(source, range.reach, range.counts);
    try {
        sequence.run();
    } catch (const zorbel::fuzz::Violation &violation) {
        std::fprintf(stderr, "ball_fuzzer: %s\n", violation.what());
        std::abort();
    }
    return 0;
}
