#include "detached.h"

#include <exception>
#include <system_error>
#include <thread>

namespace sterownik::loop {

hall::Status StartDetached(std::function<void()> body, std::function<void(const std::string& why)> ended) {
    const auto run = [body = std::move(body), ended = std::move(ended)] {
        std::string why;
        try {
            body();
        } catch (const std::exception& e) {
            why = e.what();
        }
        ended(why);
    };
    try {
        std::thread(run).detach();
    } catch (const std::system_error& e) {
        return hall::Unexpected("nie można uruchomić wątku: " + std::string(e.what()));
    }
    return {};
}

}  // namespace sterownik::loop
