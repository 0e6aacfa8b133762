#pragma once
// Side-by-side timing in rounds: every tool runs once per round, the order rotating so no tool
// always follows the same one. Other work on the machine slows whole stretches of time, so
// each tool is compared with its peers within the same round and the table gives the median of
// those per-round ratios with their spread (lowest-highest), beside absolute times.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct BenchTool {
    BenchTool(std::string toolName, std::function<bool()> before, std::function<bool()> work,
              std::function<bool()> after = {}, bool workInChild = false)
        : name(std::move(toolName)), prepare(std::move(before)), run(std::move(work)),
          finish(std::move(after)), inChild(workInChild) {}

    std::string name;
    // Runs once, untimed, before each timed run (restoring inputs, syncing).
    std::function<bool()> prepare;
    // The timed work.
    std::function<bool()> run;
    // Runs once, untimed, after each timed run (checking and moving outputs aside).
    std::function<bool()> finish;
    // The work runs in a child process: its peak memory is the child's.
    bool inChild = false;
    std::vector<double> seconds;
    uint64_t peakBytes = 0;
};

// Runs rounds rounds; false (with a message on stderr) when any step of any tool failed.
bool RunRounds(std::vector<BenchTool>& tools, int rounds);
// Prints best and median seconds, peak memory (what a run added to the resident memory it
// started with; for work in a child, the child's whole peak) and, for each tool named in peers,
// the median ratio to it with its spread.
void PrintRatios(const std::vector<BenchTool>& tools, const std::vector<size_t>& peers);

// The process's peak resident memory so far, and its children's (the largest waited-for one).
uint64_t PeakResidentBytes();
uint64_t ResidentBytes();
uint64_t PeakChildResidentBytes();
// Resets this process's peak resident memory to its current size (Linux clear_refs), so the
// next reading is the peak of what ran since. False when the kernel does not allow it.
bool ResetPeakResident();
