#include "eventsequence.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace zorbel::fuzz {
namespace {

// The same seeds give the same events with any run of the test.
struct RandomSource {
    std::mt19937_64 generator;
    std::uint32_t below(std::uint32_t n) { return std::uint32_t(generator() % n); }
    bool exhausted() const { return false; }
};

// Within reach of a screen nothing the user does ends the program; past it,
// only the fatal path may. Every release comes to rest on the floor.
TEST(RandomSequences, KeepWhatMustHoldAndEndOnlyThroughTheFatalPath)
{
    const struct {
        const char *name;
        Reach reach;
        long long events, leastSettles, leastRuntimeErrors;
    } rows[] = { { "on screen", onScreen, 400000, 1000, 0 }, { "chorded", chorded, 200000, 500, 0 },
        { "off screen", offScreen, 200000, 500, 10 } };
    for (const auto &row : rows) {
        Counts counts;
        for (std::uint64_t seed = 1; counts.events < row.events; ++seed) {
            RandomSource source { std::mt19937_64(seed) };
            try {
                EventSequence<RandomSource>(source, row.reach, counts).run(300);
            } catch (const Violation &violation) {
                ADD_FAILURE() << row.name << ", seed " << seed << ": " << violation.what();
                break;
            }
        }
        report(row.name, counts);
        EXPECT_GE(counts.settles, row.leastSettles) << row.name << ": too few releases watched to prove anything";
        EXPECT_GE(counts.runtimeErrors, row.leastRuntimeErrors) << row.name << ": wild coordinates never overflowed";
    }
}

} // namespace
} // namespace zorbel::fuzz
