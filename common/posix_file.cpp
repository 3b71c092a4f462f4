#include "posix_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace fs = std::filesystem;

namespace hall::os {
namespace {

// As many links as the system itself follows before it gives up.
constexpr int kMaxLinkHops = 40;

Unexpected<std::error_code> LastError() { return Unexpected(std::error_code(errno, std::generic_category())); }

Unexpected<std::error_code> Refused(std::errc reason) { return Unexpected(std::make_error_code(reason)); }

SysResult<> WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return LastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

// Writes, flushes to the disk and closes: only then are the bytes written.
SysResult<> WriteSyncClose(Descriptor& fd, std::string_view bytes) {
    SysResult<> done = WriteAll(fd.get(), bytes);
    if (done && ::fsync(fd.get()) != 0) done = LastError();
    SysResult<> closed = fd.close();
    return done ? closed : done;
}

// Owner and group first: changing them may clear permission bits. Only root
// may give a file away (and a user namespace may not even know the owner), so
// a writer that cannot keeps the file as its own, with the group where it is
// a member: the hall's other programs go on using it through its permission
// bits. Those bits are the writer's own to set; failing that fails the write.
SysResult<> ApplyIdentity(int fd, const FileIdentity& identity) {
    const auto owner = static_cast<uid_t>(identity.owner);
    const auto group = static_cast<gid_t>(identity.group);
    const auto refused = [] { return errno == EPERM || errno == EINVAL; };
    struct stat own {};
    if (::fstat(fd, &own) != 0) return LastError();
    if ((own.st_uid != owner || own.st_gid != group) && ::fchown(fd, owner, group) != 0) {
        if (!refused()) return LastError();
        if (own.st_gid != group && ::fchown(fd, uid_t(-1), group) != 0 && !refused()) return LastError();
    }
    if (::fchmod(fd, static_cast<mode_t>(identity.permissions)) != 0) return LastError();
    return {};
}

std::string RandomTag() {
    static constexpr std::string_view kCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kCharacters.size() - 1);
    std::string tag(6, ' ');
    for (char& c : tag) c = kCharacters[pick(engine)];
    return tag;
}

}  // namespace

Descriptor::~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this == &other) return *this;
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
    return *this;
}

SysResult<> Descriptor::close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return LastError();
    return {};
}

SysResult<fs::path> FollowTrustedLinks(const fs::path& file) {
    fs::path target = file;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
        if (info.st_uid != ::geteuid() && info.st_uid != 0) return Refused(std::errc::permission_denied);
        std::error_code ec;
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) return Unexpected(ec);
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return Refused(std::errc::too_many_symbolic_link_levels);
}

SysResult<FileIdentity> IdentityOf(const fs::path& file) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) return LastError();
    if (!S_ISREG(info.st_mode)) return Refused(std::errc::invalid_argument);
    return FileIdentity{static_cast<fs::perms>(info.st_mode & 07777), long(info.st_uid), long(info.st_gid)};
}

SysResult<fs::path> WriteTemporary(const fs::path& directory, std::string_view bytes,
                                   const std::optional<FileIdentity>& identity) {
    // Random names, as mkstemp picks them; a name taken by a leftover of an
    // earlier crash or by another writer is skipped, never reused.
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path temporary = directory / (kTemporaryPrefix + RandomTag());
        Descriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid()) {
            if (errno == EEXIST) continue;
            return LastError();
        }
        SysResult<> written = identity ? ApplyIdentity(fd.get(), *identity) : SysResult<>();
        if (written) written = WriteSyncClose(fd, bytes);
        if (written) return temporary;
        // The write's own failure is the one to report; a leftover that cannot
        // go is removed later as a stale temporary.
        (void)::unlink(temporary.c_str());
        return Unexpected(written.error());
    }
    return Refused(std::errc::file_exists);
}

SysResult<> WriteNewFile(const fs::path& file, std::string_view bytes, const std::optional<fs::perms>& permissions) {
    const mode_t mode = permissions ? static_cast<mode_t>(*permissions) : 0666;
    Descriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!fd.valid()) return LastError();
    // The umask must not take away what the caller asked for.
    SysResult<> done;
    if (permissions && ::fchmod(fd.get(), mode) != 0) done = LastError();
    if (done) done = WriteSyncClose(fd, bytes);
    if (!done) (void)::unlink(file.c_str());
    return done;
}

SysResult<> RewriteInPlace(const fs::path& file, std::string_view bytes) {
    Descriptor fd(::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!fd.valid()) return LastError();
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return LastError();
    if (!S_ISREG(info.st_mode)) return Refused(std::errc::invalid_argument);
    if (::ftruncate(fd.get(), 0) != 0) return LastError();
    return WriteSyncClose(fd, bytes);
}

SysResult<> SyncDirectory(const fs::path& directory) {
    Descriptor fd(::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) return LastError();
    // Some file systems cannot flush a directory; their renames are as safe as they get.
    if (::fsync(fd.get()) != 0 && errno != EINVAL) return LastError();
    return {};
}

int RemoveStaleTemporaries(const fs::path& directory, std::chrono::seconds age) {
    std::error_code ec;
    int removed = 0;
    const auto before = fs::file_time_type::clock::now() - age;
    for (fs::directory_iterator entry(directory, ec), end; !ec && entry != end; entry.increment(ec)) {
        const fs::path& file = entry->path();
        const std::string name = file.filename().string();
        if (name.size() != kTemporaryPrefix.size() + 6 || !name.starts_with(kTemporaryPrefix)) continue;
        struct stat info {};
        if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
        std::error_code timeError;
        if (fs::last_write_time(file, timeError) > before || timeError) continue;
        if (::unlink(file.c_str()) == 0) ++removed;
    }
    return removed;
}

SysResult<Descriptor> LockExclusively(const fs::path& file) {
    Descriptor fd(::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0660));
    if (!fd.valid()) return LastError();
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return LastError();
    return fd;
}

SysResult<std::string> ReadRegularFile(const fs::path& file, std::size_t limit) {
    const SysResult<fs::path> target = FollowTrustedLinks(file);
    if (!target) return Unexpected(target.error());
    Descriptor fd(::open(target->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid()) return LastError();
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return LastError();
    if (S_ISDIR(info.st_mode)) return Refused(std::errc::is_a_directory);
    if (!S_ISREG(info.st_mode)) return Refused(std::errc::invalid_argument);
    std::string bytes(limit, '\0');
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t read = ::read(fd.get(), bytes.data() + got, limit - got);
        if (read == 0) break;
        if (read < 0) {
            if (errno == EINTR) continue;
            return LastError();
        }
        got += static_cast<std::size_t>(read);
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace hall::os
