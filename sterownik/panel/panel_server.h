#pragma once

#include "controller_config.h"
#include "events.h"
#include "handover.h"
#include "panel_view.h"
#include "result.h"

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sterownik::panel {

// What the panel's thread hands to the loop: a command with its source
// ("panel (jan)"), or, without a command, a line for the log.
struct PanelNote {
    std::optional<Event> event;
    std::string text;
};

// The web panel's server: libwebsockets on a thread of its own, which serves
// the page, the logins and the live view, and hands the commands to the
// loop. The loop shows it the hall and beats once a second; the pages take a
// heartbeat only from a beat, so that a frozen loop shows as a lost
// connection. Debian's libwebsockets has no external poll, so it cannot run
// on the loop itself.
class PanelServer {
public:
    // Listens at once, or says why it cannot.
    static hall::Result<std::unique_ptr<PanelServer>> Start(const hall::PanelConfig& config);
    // Stops the thread and waits for it: it ends within one of its turns.
    ~PanelServer();
    PanelServer(const PanelServer&) = delete;
    PanelServer& operator=(const PanelServer&) = delete;

    void show(const PanelView& view);
    void beat();
    void allowPreview(bool preview);
    // Readable when there are notes to take.
    int descriptor() const;
    std::vector<PanelNote> take();

    struct Shared;

private:
    explicit PanelServer(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace sterownik::panel
