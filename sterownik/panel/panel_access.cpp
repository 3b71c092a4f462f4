#include "panel_access.h"

#include <sys/random.h>

#include <algorithm>
#include <array>

namespace sterownik::panel {

Sessions::Sessions(std::vector<hall::PanelSession> saved) {
    for (hall::PanelSession& session : saved)
        sessions_[session.token] = {std::move(session.user), session.lastSeen, session.lastSeen};
}

void Sessions::open(std::string token, std::string user, WallTime now) {
    sessions_[std::move(token)] = {std::move(user), now, now};
    saveDue_ = true;
}

std::optional<std::string> Sessions::user(std::string_view token, WallTime now) {
    const auto found = sessions_.find(token);
    if (found == sessions_.end()) return std::nullopt;
    Session& session = found->second;
    if (now - session.lastSeen > kIdleLimit) {
        sessions_.erase(found);
        saveDue_ = true;
        return std::nullopt;
    }
    session.lastSeen = std::max(session.lastSeen, now);
    if (session.lastSeen - session.saved >= kSaveEvery) saveDue_ = true;
    return session.user;
}

void Sessions::close(std::string_view token) {
    if (const auto found = sessions_.find(token); found != sessions_.end()) {
        sessions_.erase(found);
        saveDue_ = true;
    }
}

std::vector<hall::PanelSession> Sessions::toSave(WallTime now) {
    std::vector<hall::PanelSession> saved;
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if (now - it->second.lastSeen > kIdleLimit) {
            it = sessions_.erase(it);
            continue;
        }
        it->second.saved = it->second.lastSeen;
        saved.push_back({it->first, it->second.user, it->second.lastSeen});
        ++it;
    }
    saveDue_ = false;
    return saved;
}

std::optional<Duration> LoginThrottle::waiting(const std::string& address, TimePoint now) const {
    const auto found = addresses_.find(address);
    if (found == addresses_.end() || found->second.until <= now) return std::nullopt;
    return found->second.until - now;
}

bool LoginThrottle::failed(const std::string& address, TimePoint now) {
    if (addresses_.size() >= kAddressLimit && !addresses_.contains(address)) {
        const auto oldest = std::min_element(addresses_.begin(), addresses_.end(), [](const auto& a, const auto& b) {
            return a.second.last < b.second.last;
        });
        addresses_.erase(oldest);
    }
    Address& entry = addresses_[address];
    entry.last = now;
    if (++entry.failures < kFailureLimit) return false;
    entry.failures = 0;
    entry.until = now + kWait;
    return true;
}

bool IsOwnOrigin(std::string_view origin, std::string_view host, bool https) {
    const std::string_view scheme = https ? "https://" : "http://";
    return !host.empty() && origin.size() == scheme.size() + host.size() && origin.starts_with(scheme) &&
           origin.substr(scheme.size()) == host;
}

std::optional<std::string> NewToken() {
    std::array<unsigned char, 16> bytes{};
    if (::getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) return std::nullopt;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char byte : bytes) {
        token += kDigits[byte >> 4];
        token += kDigits[byte & 15];
    }
    return token;
}

}  // namespace sterownik::panel
