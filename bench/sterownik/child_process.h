#pragma once

#include "latency.h"
#include "result.h"

#include <sys/types.h>

#include <filesystem>
#include <memory>
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
    // NAME=value, in place of the benchmark's own variable of that name or besides its variables.
    std::vector<std::string> environment = {};
    // In a session of its own, so that the scheduler weighs it against the
    // benchmark's other processes together, not against each of them.
    bool ownSession = false;
};

// A program the benchmark runs, stopped when this is destroyed. It also ends
// when the benchmark does, however that ends, so that none is left behind.
class ChildProcess {
public:
    // Fails with the reason when it cannot be started.
    static hall::Result<std::unique_ptr<ChildProcess>> Start(const SpawnRequest& request);
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

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
    ChildProcess() = default;
    hall::Status spawn(const SpawnRequest& request);
    std::optional<long> MemoryKiB(const char* file, std::string_view key) const;

    pid_t pid_ = -1;
    int output_ = -1;
};

}  // namespace bench
