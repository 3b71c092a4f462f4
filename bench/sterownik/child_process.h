#pragma once

#include "latency.h"

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

struct SpawnRequest {
    std::vector<std::string> arguments;  // the program's path first
    std::filesystem::path directory;     // its working directory
    // Standard output and error go to this file, or into a pipe when `piped`.
    std::filesystem::path output = "/dev/null";
    bool piped = false;
};

// A program the benchmark runs, stopped when this is destroyed. It also ends
// when the benchmark does, however that ends, so that none is left behind.
class ChildProcess {
public:
    explicit ChildProcess(const SpawnRequest& request);
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    const std::string& error() const { return error_; }
    pid_t pid() const { return pid_; }
    // The read end of the output pipe; -1 without one.
    int output() const { return output_; }

    // Whether it has ended on its own (and is reaped).
    bool ended();
    // SIGTERM, then SIGKILL after a few seconds; false when it needed the SIGKILL.
    bool stop();

    // VmHWM: the most resident memory it has had, shared library pages included.
    std::optional<long> peakResidentKiB() const { return MemoryKiB("status", "VmHWM:"); }
    // Now: its own memory (RssAnon), and its share of all it maps (Pss).
    std::optional<long> privateResidentKiB() const { return MemoryKiB("status", "RssAnon:"); }
    std::optional<long> proportionalKiB() const { return MemoryKiB("smaps_rollup", "Pss:"); }
    // User and system time so far.
    std::optional<Duration> cpuTime() const;

private:
    std::optional<long> MemoryKiB(const char* file, std::string_view key) const;

    pid_t pid_ = -1;
    int output_ = -1;
    std::string error_;
};

}  // namespace bench
