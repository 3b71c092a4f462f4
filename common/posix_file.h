#pragma once

// The operating system calls of the file components, and nothing else: a
// port to another system replaces this file and its source alone.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace hall::os {

// What a replaced file must keep: its permission bits, owner and group
// (-1: the writer's own).
struct FileIdentity {
    std::filesystem::perms permissions = std::filesystem::perms::none;
    long owner = -1;
    long group = -1;
};

// The identity of the regular file `file` (links followed); nothing when it
// is missing or no regular file.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& file);

// Creates a new file of a fixed-length hidden name (".hall-" and six random
// characters) in `directory`, never reusing an existing name, writes `bytes`,
// gives it `identity` (its owner and group where the system allows; without
// one, what any new file gets), flushes it to the disk and closes it.
// `temporary` names the file. On failure nothing is left behind.
std::error_code WriteTemporary(const std::filesystem::path& directory, std::string_view bytes,
                               const std::optional<FileIdentity>& identity, std::filesystem::path& temporary);

// Creates `file`, which must not exist, with exactly `permissions` (without
// them, what any new file gets), writes `bytes` and flushes them. On failure
// a file this call created is removed.
std::error_code WriteNewFile(const std::filesystem::path& file, std::string_view bytes,
                             const std::optional<std::filesystem::perms>& permissions);

// Truncates the existing regular file `file` and writes `bytes` into it,
// flushed: for a directory that takes no new file.
std::error_code RewriteInPlace(const std::filesystem::path& file, std::string_view bytes);

// Flushes the directory's entries, so a rename or a new name survives a power cut.
std::error_code SyncDirectory(const std::filesystem::path& directory);

// At most `limit` bytes from the start of `file`. Opening never blocks (a FIFO
// or a device gives nothing) and only a regular file is read: the check is made
// on what was opened, so nothing swapped in between can slip through.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& file, std::size_t limit);

}  // namespace hall::os
