#pragma once

#include "bms_map.h"
#include "events.h"
#include "hall_rules.h"
#include "handover.h"
#include "modbus_config.h"
#include "posix_file.h"
#include "result.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sterownik {

// The hall served to the building's management system over Modbus TCP
// (libmodbus's server side), on a thread of its own beside the loop: a client
// that sends half a frame, noise, or nothing at all holds up only itself,
// never the hall's own events. The thread answers reads from the hall as the
// loop last showed it, and hands every write that switches the hall to the
// loop, which carries it out as any other event.
class BmsServer {
public:
    struct Report {
        std::optional<Event> event;  // a switch; else a line to log
        std::string line;
    };

    // Listens where the configuration says, or on `listener` when systemd
    // handed one over (-1: none). Fails when the address cannot be listened on
    // or a client's address is no address.
    static hall::Result<std::unique_ptr<BmsServer>> Start(const hall::BmsServerConfig& config, int listener);
    ~BmsServer();
    BmsServer(const BmsServer&) = delete;
    BmsServer& operator=(const BmsServer&) = delete;

    // Readable when the server has something for the loop.
    int descriptor() const { return wake_.get(); }
    // The hall as the loop has it now; the first view starts the serving.
    void show(const HallView& view);
    std::vector<Report> take();

private:
    struct Client;
    BmsServer(const hall::BmsServerConfig& config, modbus_t* context, int listener);

    void run();
    void accept();
    void dropClosed();
    // False when the client is to be closed.
    bool serve(Client& client);
    void report(Report report);

    const bool readOnly_;
    std::vector<std::string> allowed_;  // addresses as inet_ntop gives them
    modbus_t* context_;
    modbus_mapping_t* mapping_;
    hall::os::Descriptor listener_;
    hall::os::Descriptor stop_;
    hall::os::Descriptor wake_;
    Handover<Report> reports_;
    BmsMap map_;                                       // the thread's own
    std::map<std::string, TimePoint> refusalsLogged_;  // the thread's own

    std::mutex mutex_;  // the view
    HallView view_;
    std::vector<Client> clients_;  // the thread's own
    std::thread thread_;
};

}  // namespace sterownik
