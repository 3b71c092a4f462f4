#include "reachability.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace sterownik {

hall::Status ReachabilityProbe::start(const std::string& host, int port) {
    socket_.reset();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    if (rc != 0) return hall::Unexpected(std::string(::gai_strerror(rc)));
    addresses_.reset(list);
    next_ = list;
    if (tryNext() == State::Unreachable) return hall::Unexpected(reason_);
    return {};
}

ReachabilityProbe::State ReachabilityProbe::tryNext() {
    for (; next_; next_ = next_->ai_next) {
        socket_ = std::make_unique<hall::os::Descriptor>(
            ::socket(next_->ai_family, next_->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, next_->ai_protocol));
        if (!socket_->valid()) continue;
        const int rc = ::connect(socket_->get(), next_->ai_addr, next_->ai_addrlen);
        if (rc == 0 || errno == EINPROGRESS) {
            next_ = next_->ai_next;
            return State::Pending;
        }
        reason_ = std::strerror(errno);
    }
    socket_.reset();
    return State::Unreachable;
}

ReachabilityProbe::State ReachabilityProbe::writable() {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error == 0) {
        socket_.reset();
        return State::Reachable;
    }
    reason_ = std::strerror(error);
    return tryNext();
}

}  // namespace sterownik
