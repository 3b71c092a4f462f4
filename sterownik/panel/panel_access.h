#pragma once

#include "clock.h"
#include "panel_sessions.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sterownik::panel {

using hall::WallTime;

// The panel's sessions: one per login, ending after kIdleLimit without a
// request. No I/O: the panel's thread saves them when saveDue() says so.
// The time a session was last seen is saved at most every kSaveEvery, so
// that a busy tablet does not rewrite the file at every request; after a
// restart a session may so end that much early, never late.
class Sessions {
public:
    static constexpr auto kIdleLimit = std::chrono::hours(12);
    static constexpr auto kSaveEvery = std::chrono::minutes(10);

    explicit Sessions(std::vector<hall::PanelSession> saved = {});
    void open(std::string token, std::string user, WallTime now);
    // The session's account, the session seen at `now`; nothing when there is
    // none or it has ended.
    std::optional<std::string> user(std::string_view token, WallTime now);
    void close(std::string_view token);
    bool saveDue() const { return saveDue_; }
    // What the file is to hold now; the sessions count as saved.
    std::vector<hall::PanelSession> toSave(WallTime now);

private:
    struct Session {
        std::string user;
        WallTime lastSeen, saved;
    };
    std::map<std::string, Session, std::less<>> sessions_;
    bool saveDue_ = false;
};

// Wrong passwords from one address: the kFailureLimit-th makes it wait
// kWait before the next try. Only the last kAddressLimit addresses are kept,
// so that a flood of addresses costs bounded memory.
class LoginThrottle {
public:
    static constexpr int kFailureLimit = 5;
    static constexpr Duration kWait = std::chrono::seconds(30);
    static constexpr std::size_t kAddressLimit = 4096;

    // How long the address must still wait; nothing when it may try.
    std::optional<Duration> waiting(const std::string& address, TimePoint now) const;
    // True when this failure makes the address wait.
    bool failed(const std::string& address, TimePoint now);
    void succeeded(const std::string& address) { addresses_.erase(address); }

private:
    struct Address {
        int failures = 0;
        TimePoint until{}, last{};
    };
    std::map<std::string, Address> addresses_;
};

// Whether a request's Origin is the panel's own: the scheme it is served
// with and the host the browser asked for. A request without one is not.
bool IsOwnOrigin(std::string_view origin, std::string_view host, bool https);

// A session's token from the system's random source: 32 hexadecimal digits.
std::optional<std::string> NewToken();

}  // namespace sterownik::panel
