#pragma once

#include "posix_file.h"
#include "result.h"

#include <netdb.h>

#include <memory>
#include <string>

namespace sterownik {

// Whether the broker's address takes a TCP connection, found out without
// blocking: the library's own connect, the only one that can send MQTT v5's
// properties, blocks until the system gives up on an address that does not
// answer, which may take minutes. Each of the host's addresses is tried in turn.
class ReachabilityProbe {
public:
    enum class State { Pending, Reachable, Unreachable };

    // Resolves the host and starts the first try.
    hall::Status start(const std::string& host, int port);
    // The socket to wait on for writing while Pending; -1 otherwise.
    int socket() const { return socket_ ? socket_->get() : -1; }
    // Once the socket is writable: the answer, or Pending while another address is tried.
    State writable();
    const std::string& reason() const { return reason_; }

private:
    State tryNext();

    struct FreeAddresses {
        void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
    };
    std::unique_ptr<addrinfo, FreeAddresses> addresses_;
    const addrinfo* next_ = nullptr;
    std::unique_ptr<hall::os::Descriptor> socket_;
    std::string reason_;
};

}  // namespace sterownik
