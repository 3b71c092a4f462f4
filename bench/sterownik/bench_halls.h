#pragma once

#include "child_process.h"
#include "driver_client.h"
#include "event_tracker.h"
#include "lamp_state.h"
#include "panel_sessions.h"
#include "result.h"
#include "scene_files.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

// The lamps motion on one input lights: a block of its own, so that motion
// on the next input always switches lamps on, whatever zone is still held.
struct LampBlock {
    int first;
    int last;  // the controller publishes lamps in order: this one comes last
};

constexpr LampBlock ZoneLamps(int input) {
    return {(input - 1) * hall::kLampCount / hall::kSensorCount + 1, input * hall::kLampCount / hall::kSensorCount};
}

// A hall in `hall`: actual.txt all off, sc1.txt … sc8.txt the zones above,
// and konfigurator/ with the switch-off delay, and sterownik.conf with the
// broker's port and `moreConfig`'s lines. Fails with the reason when a file
// cannot be written.
hall::Status LayOutHall(const std::filesystem::path& hall, int port, std::string_view delayMinutes,
                        std::string_view moreConfig = {});

// Key `key` of a laid-out hall switches to scene `scene`, whose lamps are
// `boxes`; the other keys to none.
hall::Status AssignKey(const std::filesystem::path& hall, int key, int scene, const hall::SceneBoxes& boxes);

inline std::filesystem::path WorkingDirectory(const std::filesystem::path& hall) { return hall / "konfigurator"; }

// A controller's log's last lines, indented, to say why it ended.
std::string LogTail(const std::filesystem::path& file);

// stem001, stem002, …
std::vector<std::string> HallNames(int count, const std::string& stem);

// The halls of one part of the run, laid out in `root`, and their
// controllers, each started with `environment` added to its own, logging
// into root/NAME.log; stopped when this is destroyed.
class Halls {
public:
    Halls(const std::filesystem::path& root, std::vector<std::string> names, std::string delayMinutes,
          std::vector<std::string> environment = {})
        : root_(root),
          names_(std::move(names)),
          delay_(std::move(delayMinutes)),
          environment_(std::move(environment)) {}

    // Lines, each ended by LF, added to every hall's sterownik.conf when it is laid out.
    void addConfig(std::string lines) { moreConfig_ += lines; }
    // A web panel's session every hall's controller reads at its start, as after a login.
    void addPanelSession(hall::PanelSession session) { sessions_.push_back(std::move(session)); }
    hall::Status lay(int port);
    hall::Status start();
    // Until every controller is online and has published its lamps.
    hall::Status waitReady(DriverClient& client, EventTracker& tracker);
    // Ready only once started: a hall that failed to start is not waited for.
    hall::Status startReady(int port, DriverClient& client, EventTracker& tracker);

    const std::vector<std::string>& names() const { return names_; }
    std::filesystem::path hall(std::size_t i) const { return root_ / names_[i]; }
    std::filesystem::path log(std::size_t i) const { return root_ / (names_[i] + ".log"); }
    const std::vector<std::unique_ptr<ChildProcess>>& controllers() const { return controllers_; }

    // Fails, with their logs' last lines, when a controller has ended on its own.
    hall::Status running();
    // False when one did not end on SIGTERM.
    bool stop();

private:
    std::string endedOnes();

    std::filesystem::path root_;
    std::vector<std::string> names_;
    std::string delay_;
    std::vector<std::string> environment_;
    std::string moreConfig_;
    std::vector<hall::PanelSession> sessions_;
    std::vector<std::unique_ptr<ChildProcess>> controllers_;
};

}  // namespace bench
