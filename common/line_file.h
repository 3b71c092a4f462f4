#pragma once

#include "result.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hall {

// Replaces `target` with exactly `bytes`: the bytes go to a temporary file
// (".hall-" and six random characters) in the target's directory, flushed to
// the disk, which is then renamed over the target. A reader in any process
// sees the old file or the new one, never a part of either. The file stays
// what it was: a symbolic link (or a chain of them) stays a link and its final
// target is replaced; the permission bits, and the owner and group where the
// writer may set them, are carried over. A link that is not this process's
// effective user's or root's is never followed: the write fails and nothing
// is written. A directory that takes no new file
// while the target itself is writable gets the target rewritten in place.
// On failure the target is untouched and the error says why.
Status WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);
// The same, calling `inPlace` as soon as every reader sees the new file, before
// its name is flushed to the disk: what only has to follow the file (a
// publication, say) need not wait for that flush too. It is not called when
// the file could not be put in place.
Status WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                           const std::function<void()>& inPlace);

// Creates `target` holding exactly `bytes`, flushed to the disk, never
// replacing a file of that name, even one that appears while this runs.
// Fails when the name exists. The file appears whole or not at all.
Status CreateFileExclusively(const std::filesystem::path& target, std::string_view bytes);
// The same, with exactly these permissions whatever the process's umask.
Status CreateFileExclusively(const std::filesystem::path& target, std::string_view bytes,
                             std::filesystem::perms permissions);

// The first line of a regular file: the bytes before the first CR, or all of
// them when there is none, reading at most `limit` bytes. Missing and empty
// files, directories, devices, FIFOs, links of another user and read errors
// give nothing; nothing blocks.
std::optional<std::string> ReadFirstLine(const std::filesystem::path& file, std::size_t limit);

// Every line of a regular file, split at LF with a CR before it dropped. A
// file larger than `limit` bytes, like one that cannot be read, gives nothing;
// an empty file gives no lines.
std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& file, std::size_t limit);

}  // namespace hall
