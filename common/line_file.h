#pragma once

#include "file_error.h"
#include "posix_file.h"
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
// them when there is none, reading at most `limit` bytes; nothing blocks.
// Whatever gives no line is an error: the system's (no_such_file_or_directory
// for a missing file, as ReadRegularFile says for the rest), or
// FileError::Empty for a file without a byte. The one partial result is a line
// longer than `limit`, cut there: a caller that must not take part of a line
// asks for one byte more than it takes.
os::SysResult<std::string> ReadFirstLine(const std::filesystem::path& file, std::size_t limit);

// Every line of a regular file, split at LF with a CR before it dropped; an
// empty file gives no lines. A file larger than `limit` bytes gives
// file_too_large, one that cannot be read the system's error.
os::SysResult<std::vector<std::string>> ReadLines(const std::filesystem::path& file, std::size_t limit);

}  // namespace hall
