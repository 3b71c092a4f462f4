#pragma once

#include "posix_file.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace sterownik::loop {

// What a worker thread hands to the loop: kept under a lock, and an eventfd
// of its own made readable for the loop to wait on. It belongs to the
// worker's shared state, so that the descriptor stays open for as long as
// the worker may still write to it.
template <class Item>
class Handover {
public:
    Handover()
        : wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
          error_(wake_.valid() ? std::error_code() : std::error_code(errno, std::generic_category())) {}

    // Readable when there is something to take; -1 when the system gave no
    // descriptor, and error() says why.
    int descriptor() const { return wake_.get(); }
    const std::error_code& error() const { return error_; }

    void put(Item item) {
        {
            const std::lock_guard lock(mutex_);
            items_.push_back(std::move(item));
        }
        // A counter that is already raised needs no second raise: a failed write changes nothing.
        const std::uint64_t one = 1;
        (void)!::write(wake_.get(), &one, sizeof one);
    }
    // Everything put since the last call, in order.
    std::vector<Item> take() {
        std::uint64_t count = 0;
        (void)!::read(wake_.get(), &count, sizeof count);
        const std::lock_guard lock(mutex_);
        return std::exchange(items_, {});
    }

private:
    hall::os::Descriptor wake_;
    std::error_code error_;
    std::mutex mutex_;
    std::vector<Item> items_;
};

}  // namespace sterownik::loop
