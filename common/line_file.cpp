#include "line_file.h"

#include "posix_file.h"

#include <system_error>

namespace fs = std::filesystem;

namespace hall {
namespace {

// The writers' one failure text: what the system said.
Status Said(const os::SysResult<>& done) {
    if (done) return {};
    return Unexpected(done.error().message());
}

// The directory refuses a new name, yet the file itself may be writable.
bool DirectoryRefused(const std::error_code& ec) {
    return ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
           ec == std::errc::read_only_file_system;
}

Status Replace(const fs::path& target, std::string_view bytes, const std::function<void()>& inPlace) {
    // A target that is missing or no regular file has no identity to keep.
    const os::SysResult<os::FileIdentity> found = os::IdentityOf(target);
    const std::optional<os::FileIdentity> identity = found ? std::optional(*found) : std::nullopt;
    const os::SysResult<fs::path> temporary = os::WriteTemporary(target.parent_path(), bytes, identity);
    if (!temporary) {
        if (!identity || !DirectoryRefused(temporary.error())) return Unexpected(temporary.error().message());
        const os::SysResult<> rewritten = os::RewriteInPlace(target, bytes);
        if (rewritten && inPlace) inPlace();
        return Said(rewritten);
    }
    std::error_code ec;
    fs::rename(*temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(*temporary, ignored);
        return Unexpected(ec.message());
    }
    if (inPlace) inPlace();
    return Said(os::SyncDirectory(target.parent_path()));
}

Status Create(const fs::path& target, std::string_view bytes, const std::optional<fs::perms>& permissions) {
    std::optional<os::FileIdentity> identity;
    if (permissions) identity = os::FileIdentity{*permissions};
    const os::SysResult<fs::path> temporary = os::WriteTemporary(target.parent_path(), bytes, identity);
    if (!temporary) return Unexpected(temporary.error().message());
    // A hard link fails when the name exists, so a file that appeared since
    // the caller looked is left alone; the name shows the whole file at once.
    std::error_code ec;
    fs::create_hard_link(*temporary, target, ec);
    // A temporary that will not go is removed later as a stale one.
    std::error_code ignored;
    fs::remove(*temporary, ignored);
    if (ec == std::errc::file_exists) return Unexpected(ec.message());
    // File systems without hard links: an exclusive create is the next best.
    if (ec) {
        if (const os::SysResult<> created = os::WriteNewFile(target, bytes, permissions); !created)
            return Said(created);
    }
    return Said(os::SyncDirectory(target.parent_path()));
}

}  // namespace

Status WriteFileAtomically(const fs::path& target, std::string_view bytes) {
    return WriteFileAtomically(target, bytes, {});
}

Status WriteFileAtomically(const fs::path& target, std::string_view bytes, const std::function<void()>& inPlace) {
    // Replacing the file a link leads to, not the link, keeps the link for
    // everyone who reads through it.
    const os::SysResult<fs::path> file = os::FollowTrustedLinks(target);
    if (!file) return Unexpected(file.error().message());
    return Replace(*file, bytes, inPlace);
}

Status CreateFileExclusively(const fs::path& target, std::string_view bytes) {
    return Create(target, bytes, std::nullopt);
}

Status CreateFileExclusively(const fs::path& target, std::string_view bytes, fs::perms permissions) {
    return Create(target, bytes, permissions);
}

os::SysResult<std::string> ReadFirstLine(const fs::path& file, std::size_t limit) {
    os::SysResult<std::string> line = os::ReadRegularFile(file, limit);
    if (!line) return line;
    if (line->empty()) return Unexpected(make_error_code(FileError::Empty));
    const std::size_t cr = line->find('\r');
    if (cr != std::string::npos) line->resize(cr);
    return line;
}

os::SysResult<std::vector<std::string>> ReadLines(const fs::path& file, std::size_t limit) {
    // One byte more than allowed tells a file that is too large from one that fits.
    const os::SysResult<std::string> bytes = os::ReadRegularFile(file, limit + 1);
    if (!bytes) return Unexpected(bytes.error());
    if (bytes->size() > limit) return Unexpected(std::make_error_code(std::errc::file_too_large));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes->size()) {
        std::size_t end = bytes->find('\n', start);
        if (end == std::string::npos) end = bytes->size();
        std::string line = bytes->substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace hall
