// libFuzzer target: the first input byte picks the reach, mostly the
// screen's, and the others the events of one sequence (see eventsequence.h).
// A broken rule aborts, so that libFuzzer keeps the input; so does any
// exception but the program's RuntimeError. Built and run by run_fuzzer.sh.

#include "eventsequence.h"

#include <cstdio>
#include <cstdlib>

namespace {

using namespace zorbel::fuzz;

// Reads the choices from the input; a dry input ends the sequence.
struct ByteSource {
    const std::uint8_t *data;
    std::size_t size;

    std::uint32_t below(std::uint32_t n)
    {
        std::uint32_t value = 0;
        for (std::uint64_t range = 1; range < n && size > 0; range <<= 8, ++data, --size)
            value = value << 8 | *data;
        return value % n;
    }
    bool exhausted() const { return size == 0; }
};

struct Range {
    const char *name;
    Reach reach;
    Counts counts;
} ranges[] = { { "on screen", onScreen, {} }, { "chorded", chorded, {} }, { "off screen", offScreen, {} } };

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::atexit([] {
        for (const Range &r : ranges)
            report(r.name, r.counts);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    Range &range = ranges[data[0] < 160 ? 0 : data[0] < 208 ? 1 : 2];
    ByteSource source { data + 1, size - 1 };
    try {
        EventSequence<ByteSource>(source, range.reach, range.counts).run();
    } catch (const Violation &violation) {
        std::fprintf(stderr, "ball_fuzzer: %s\n", violation.what());
        std::abort();
    }
    return 0;
}
