#pragma once

#include <sys/types.h>

// What /proc tells of a running program, read from outside it: the probe
// learns the program's CPU time, context switches and memory without any
// hook inside the program.

// CPU time of all live threads in ns, and their context switches.
struct ThreadTotals {
    long long cpuNs = 0;
    long long switches = 0;
};

ThreadTotals threadTotals(pid_t pid);

// Resident and peak resident set, and the memory only this process holds
// (dirty private pages, huge pages included), in KiB.
struct MemoryTotals {
    long long rssKiB = 0;
    long long peakRssKiB = 0;
    long long privateKiB = 0;
};

MemoryTotals memoryTotals(pid_t pid);
