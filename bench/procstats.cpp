#include "procstats.h"

#include <dirent.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

// The sum of the numbers after every "prefix ...:" line of a /proc file.
long long fieldKiB(const std::string &file, const char *prefix)
{
    std::ifstream in(file);
    long long total = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0)
            total += std::stoll(line.substr(line.find(':') + 1));
    }
    return total;
}

} // namespace

ThreadTotals threadTotals(pid_t pid)
{
    ThreadTotals totals;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    std::unique_ptr<DIR, int (*)(DIR *)> tasks(opendir(dir.c_str()), closedir);
    if (!tasks)
        return totals;
    while (const dirent *entry = readdir(tasks.get())) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream schedstat(dir + "/" + entry->d_name + "/schedstat");
        long long ns = 0;
        if (schedstat >> ns)
            totals.cpuNs += ns;
        std::ifstream status(dir + "/" + entry->d_name + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                totals.switches += std::stoll(line.substr(line.find(':') + 1));
        }
    }
    return totals;
}

MemoryTotals memoryTotals(pid_t pid)
{
    const std::string proc = "/proc/" + std::to_string(pid);
    return { fieldKiB(proc + "/status", "VmRSS:"), fieldKiB(proc + "/status", "VmHWM:"),
             fieldKiB(proc + "/smaps_rollup", "Private_Dirty:") + fieldKiB(proc + "/smaps_rollup", "Private_Hugetlb:") };
}
