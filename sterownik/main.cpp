// The hall's controller: motion sensors, wall keys and the switch-off delay
// carried out on ../actual.txt, the lamps driven over MQTT and Modbus. Runs
// in the hall's konfigurator/ directory until SIGTERM or SIGINT; SIGHUP reads
// sterownik.conf again. "sterownik raport" reports from the hall's ledger.
#include "posix_file.h"
#include "report.h"
#include "setup.h"
#include "signals.h"
#include "wiring.h"

#include <malloc.h>
#include <mosquitto.h>
#include <signal.h>

#include <algorithm>
#include <iostream>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// One controller per hall: the second one finds this file locked.
const std::filesystem::path kLockPath = "sterownik.lock";

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + std::min(argc, 1), argv + argc);
    if (!arguments.empty() && arguments.front() == "raport")
        return sterownik::ledger::RunReport({arguments.begin() + 1, arguments.end()}, std::cout, std::cerr);
    if (!arguments.empty()) {
        std::cerr << "sterownik: nieznany argument: " << arguments.front() << " (jedyny to raport)\n";
        return 2;
    }
    hall::Result<sterownik::Setup> setup = sterownik::LoadSetup();
    if (!setup) {
        std::cerr << "sterownik: " << setup.error() << '\n';
        return 2;
    }
    const hall::os::SysResult<hall::os::Descriptor> lock = hall::os::LockExclusively(kLockPath);
    if (!lock) {
        if (lock.error() == std::errc::operation_would_block)
            std::cerr << "sterownik: tę halę obsługuje już inny sterownik\n";
        else
            std::cerr << "sterownik: nie można otworzyć pliku " << kLockPath.string() << ": " << lock.error().message()
                      << '\n';
        return 1;
    }
    // A broken connection is an error of its own call, never a signal that ends the process.
    ::signal(SIGPIPE, SIG_IGN);
    // Fixed thresholds: a controller that has caught up with a backlog gives
    // back the memory it took, instead of keeping it for the next one.
    ::mallopt(M_TRIM_THRESHOLD, 64 * 1024);
    ::mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    // One arena for every thread: the panel's, the ledger's and the Modbus
    // workers' allocations are small and rare enough to share the main heap's
    // lock, and an arena of its own kept each of them 100 to 300 KiB resident.
    ::mallopt(M_ARENA_MAX, 1);
    // Before any thread starts, so that every thread inherits the mask.
    if (const hall::Status blocked = sterownik::loop::BlockLoopSignals(); !blocked) {
        std::cerr << "sterownik: " << blocked.error() << '\n';
        return 1;
    }
    mosquitto_lib_init();
    const int status = sterownik::Wiring(std::move(*setup), std::cout).run();
    mosquitto_lib_cleanup();
    return status;
}
