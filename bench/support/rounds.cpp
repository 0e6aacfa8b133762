#include "bench/support/rounds.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <sys/resource.h>

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A size line of /proc/self/status ("VmHWM:", which clear_refs resets while ru_maxrss never
// goes down, or "VmRSS:").
uint64_t StatusBytes(const std::string& wanted) {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == wanted) {
            uint64_t kib = 0;
            status >> kib;
            return kib * 1024;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

} // namespace

uint64_t PeakResidentBytes() {
    return StatusBytes("VmHWM:");
}

uint64_t ResidentBytes() {
    return StatusBytes("VmRSS:");
}

uint64_t PeakChildResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<uint64_t>(usage.ru_maxrss) * 1024;
}

bool ResetPeakResident() {
    std::ofstream refs("/proc/self/clear_refs");
    refs << "5";
    refs.flush();
    return refs.good();
}

bool RunRounds(std::vector<BenchTool>& tools, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        for (size_t k = 0; k < tools.size(); ++k) {
            BenchTool& tool = tools[(k + static_cast<size_t>(round)) % tools.size()];
            if (tool.prepare && !tool.prepare()) {
                std::fprintf(stderr, "%s: preparing round %d failed\n", tool.name.c_str(), round);
                return false;
            }
            // Freed heap goes back to the system first, so a run that reuses it still counts.
            malloc_trim(0);
            ResetPeakResident();
            const uint64_t resident = ResidentBytes();
            const auto start = std::chrono::steady_clock::now();
            const bool ok = tool.run();
            const auto end = std::chrono::steady_clock::now();
            // What the work itself added; a child's whole peak.
            const uint64_t peak = PeakResidentBytes();
            tool.peakBytes = std::max(tool.peakBytes, tool.inChild      ? PeakChildResidentBytes()
                                                      : peak > resident ? peak - resident
                                                                        : 0);
            if (!ok || (tool.finish && !tool.finish())) {
                std::fprintf(stderr, "%s failed in round %d\n", tool.name.c_str(), round);
                return false;
            }
            tool.seconds.push_back(std::chrono::duration<double>(end - start).count());
        }
    }
    return true;
}

void PrintRatios(const std::vector<BenchTool>& tools, const std::vector<size_t>& peers) {
    std::printf("  %-28s %9s %9s %9s", "tool", "best s", "median s", "+peak MiB");
    for (size_t peer : peers)
        std::printf("  %-20s", ("/ " + tools[peer].name).substr(0, 20).c_str());
    std::printf("\n");
    for (const BenchTool& tool : tools) {
        const double best = *std::min_element(tool.seconds.begin(), tool.seconds.end());
        std::printf("  %-28s %9.4f %9.4f %9.1f", tool.name.c_str(), best, Median(tool.seconds),
                    static_cast<double>(tool.peakBytes) / (1 << 20));
        for (size_t peer : peers) {
            std::vector<double> ratios;
            for (size_t round = 0; round < tool.seconds.size(); ++round)
                ratios.push_back(tool.seconds[round] / tools[peer].seconds[round]);
            const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
            char cell[64];
            std::snprintf(cell, sizeof cell, "%.2fx (%.2f-%.2f)", Median(ratios), *low, *high);
            std::printf("  %-20s", cell);
        }
        std::printf("\n");
    }
}
