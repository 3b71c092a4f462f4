#pragma once

// The operating system calls of the file components, and nothing else: a
// port to another system replaces this file and its source alone.

#include "result.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace hall::os {

// A system call's outcome: its value, or the error the system gave.
template <class T = void>
using SysResult = Result<T, std::error_code>;

// Owns one open file descriptor (-1: none) and closes it; closing is
// checked where it matters.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    SysResult<> close();

private:
    int fd_;
};

// What a replaced file must keep: its permission bits, owner and group
// (-1: the writer's own).
struct FileIdentity {
    std::filesystem::perms permissions = std::filesystem::perms::none;
    long owner = -1;
    long group = -1;
};

// Where the name `file` leads: through a chain of symbolic links, each link
// checked before it is followed. Only a link owned by this process's effective
// user or by root is followed, the rule Linux applies in sticky shared
// directories, here in every directory: a link that anyone else planted,
// dangling or not, gives permission_denied and is never read through. A
// trusted dangling link gives the name it points at; a name that is no link
// gives itself.
SysResult<std::filesystem::path> FollowTrustedLinks(const std::filesystem::path& file);

// The identity of the regular file `file` itself, never a link's target. A
// link or anything else but a regular file gives invalid_argument.
SysResult<FileIdentity> IdentityOf(const std::filesystem::path& file);

// What every temporary file of the writers is named by, and six random characters.
inline const std::string kTemporaryPrefix = ".hall-";

// Creates a new file of a fixed-length hidden name (".hall-" and six random
// characters) in `directory`, never reusing an existing name, writes `bytes`,
// gives it `identity` (its owner and group where the system allows; without
// one, what any new file gets), flushes it to the disk and closes it.
// Gives the file's name. On failure nothing is left behind.
SysResult<std::filesystem::path> WriteTemporary(const std::filesystem::path& directory, std::string_view bytes,
                                                const std::optional<FileIdentity>& identity);

// Creates `file`, which must not exist, with exactly `permissions` (without
// them, what any new file gets), writes `bytes` and flushes them. On failure
// a file this call created is removed.
SysResult<> WriteNewFile(const std::filesystem::path& file, std::string_view bytes,
                         const std::optional<std::filesystem::perms>& permissions);

// Truncates the existing regular file `file` (never a link) and writes
// `bytes` into it, flushed: for a directory that takes no new file.
SysResult<> RewriteInPlace(const std::filesystem::path& file, std::string_view bytes);

// Flushes the directory's entries, so a rename or a new name survives a power cut.
SysResult<> SyncDirectory(const std::filesystem::path& directory);

// Removes from `directory` the temporary files of the writers (".hall-"
// and six characters) that this process's user owns and that are older than
// `age`: what a writer killed between its write and its rename leaves behind.
// Gives how many it removed.
int RemoveStaleTemporaries(const std::filesystem::path& directory, std::chrono::seconds age);

// Holds an exclusive advisory lock on `file`, created where missing and never
// through a link, for as long as the descriptor stays open; the kernel drops
// it when the process ends, however it ends. Fails with EWOULDBLOCK while
// another process holds it.
SysResult<Descriptor> LockExclusively(const std::filesystem::path& file);

// At most `limit` bytes from the start of `file`, reached through trusted
// links only. Opening never blocks (a FIFO or a device is not waited on) and only
// a regular file is read: the check is made on what was opened, and the final
// name is opened without following a link, so nothing swapped in between can
// slip through. A directory gives is_a_directory, anything else that is no
// regular file invalid_argument; a link of another user permission_denied.
SysResult<std::string> ReadRegularFile(const std::filesystem::path& file, std::size_t limit);

}  // namespace hall::os
