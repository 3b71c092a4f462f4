#pragma once

#include "ledger_records.h"
#include "result.h"

#include <filesystem>
#include <string>
#include <vector>

namespace hall {

// The web panel's sessions, kept across the controller's restarts so that a
// wall tablet comes back without anyone logging in again. The file holds
// secrets: only the controller's own user may read it.
inline const std::filesystem::path kPanelSessionsPath = "sterownik.sesje";

struct PanelSession {
    std::string token;  // 32 hexadecimal digits, as the cookie carries it
    std::string user;   // the account's name
    WallTime lastSeen{};
    bool operator==(const PanelSession&) const = default;
};

// One line a session: TOKEN MILLISECONDS NAME (the name to the line's end).
// Lines that do not have that shape are skipped: a damaged line costs its
// session only. A missing file holds no session.
Result<std::vector<PanelSession>> ReadPanelSessions(const std::filesystem::path& file = kPanelSessionsPath);
// Replaces the file whole; a new one is created readable by its owner alone.
Status WritePanelSessions(const std::vector<PanelSession>& sessions,
                          const std::filesystem::path& file = kPanelSessionsPath);

// Whether a name can stand in the file and in a log line: no control character.
bool IsPrintableName(std::string_view name);

}  // namespace hall
