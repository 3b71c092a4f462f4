#pragma once

#include "events.h"
#include "panel_view.h"
#include "result.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace sterownik::panel {

// The panel's messages, as the page reads them: JSON, one kind per "typ".
// Names from files go in as JSON strings, which the page shows as text.

// What a connection may do: its account, or nothing when it only watches.
struct Viewer {
    std::optional<std::string> user;
    bool operator==(const Viewer&) const = default;
};

// The first message of every connection.
std::string HallMessage(const std::string& hall, const Viewer& viewer);
// The parts of the hall that change apart, each a message of its own, sent
// again only when it changed: lamps, zones, devices, ledger.
inline constexpr std::size_t kSectionCount = 4;
using Sections = std::array<std::string, kSectionCount>;
Sections SectionMessages(const PanelView& view);
std::string HeartbeatMessage();
// A lamp's details, answering the page's {"typ":"lampa","lampa":N}.
std::string LampMessage(const PanelView& view, int lamp);
// The lamp a page's message asks about; nothing for anything else.
std::optional<int> LampAsked(std::string_view message);

// The body of POST /sesja and /logowanie's answer.
std::string SessionBody(const Viewer& viewer, bool preview);
std::string ErrorBody(std::string_view text);
// A command's body: {"polecenie":"scena","scena":K}, {"polecenie":"wylacz"},
// {"polecenie":"lampa","lampa":N,"wl":true|false}; or why it is none.
hall::Result<Event> ReadCommand(std::string_view body);
// A login's body: {"uzytkownik":"…","haslo":"…"}.
struct Credentials {
    std::string user, password;
};
hall::Result<Credentials> ReadCredentials(std::string_view body);

}  // namespace sterownik::panel
