#pragma once

#include "bms_map.h"
#include "events.h"
#include "hall_view.h"
#include "modbus_config.h"
#include "reactor.h"
#include "result.h"

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace sterownik {

// The hall served to the building's management system over Modbus TCP
// (libmodbus's server side), on a thread of its own beside the loop: a client
// that sends half a frame, noise, or nothing at all holds up only itself,
// never the hall's own events. The thread answers reads from the hall as the
// loop last showed it, and hands every write that switches the hall to the
// loop, which carries it out as any other event. Stopping it never waits for
// the thread; a thread that ends unexpectedly says so in the log and is
// started again after 1 s, 2, ... up to a minute.
class BmsServer {
public:
    // The hall as the loop has it now.
    using View = std::function<HallView()>;
    // A write that switches the hall.
    using Command = std::function<void(const Event&)>;

    // Listens where the configuration says, or on `handed` when systemd
    // handed a socket over. Fails when the address cannot be listened on or a
    // client's address is no address.
    static hall::Result<std::unique_ptr<BmsServer>> Start(const hall::BmsServerConfig& config,
                                                          std::optional<int> handed, loop::Reactor& reactor, View view,
                                                          Command command, std::ostream& log);
    ~BmsServer();
    BmsServer(const BmsServer&) = delete;
    BmsServer& operator=(const BmsServer&) = delete;

private:
    struct Server;
    BmsServer(std::shared_ptr<Server> server, loop::Reactor& reactor, View view, Command command, std::ostream& log);

    std::optional<TimePoint> show();
    void readable();
    void run();

    std::shared_ptr<Server> server_;
    loop::Registrations registrations_;
    View view_;
    Command command_;
    std::ostream& log_;
    bool running_ = false;
    Duration restart_;
};

}  // namespace sterownik
