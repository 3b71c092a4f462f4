#pragma once

#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace sterownik {

// What a worker thread hands to the loop: kept under a lock, and a
// descriptor the loop waits on (an eventfd) made readable.
template <class Item>
class Handover {
public:
    explicit Handover(int wake) : wake_(wake) {}

    void put(Item item) {
        {
            const std::lock_guard lock(mutex_);
            items_.push_back(std::move(item));
        }
        const std::uint64_t one = 1;
        (void)!::write(wake_, &one, sizeof one);
    }
    // Everything put since the last call, in order.
    std::vector<Item> take() {
        const std::lock_guard lock(mutex_);
        return std::exchange(items_, {});
    }

private:
    const int wake_;
    std::mutex mutex_;
    std::vector<Item> items_;
};

}  // namespace sterownik
