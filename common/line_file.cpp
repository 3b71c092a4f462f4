#include "line_file.h"

#include "posix_file.h"

#include <system_error>

namespace fs = std::filesystem;

namespace hall {
namespace {

// As many links as the system itself follows before it gives up.
constexpr int kMaxLinkHops = 40;

bool Succeeded(const std::error_code& ec, std::string* error) {
    if (ec && error) *error = ec.message();
    return !ec;
}

// The file a chain of symbolic links ends at: replacing it, not the link,
// keeps the link for everyone who reads through it. A dangling link gives
// the name it points at.
fs::path FinalTarget(fs::path file, std::error_code& ec) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code ignored;
        if (!fs::is_symlink(fs::symlink_status(file, ignored))) return file;
        const fs::path next = fs::read_symlink(file, ec);
        if (ec) return file;
        file = next.is_absolute() ? next : file.parent_path() / next;
    }
    ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return file;
}

// The directory refuses a new name, yet the file itself may be writable.
bool DirectoryRefused(const std::error_code& ec) {
    return ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
           ec == std::errc::read_only_file_system;
}

bool Replace(const fs::path& target, std::string_view bytes, std::string* error) {
    const std::optional<os::FileIdentity> identity = os::IdentityOf(target);
    fs::path temporary;
    std::error_code ec = os::WriteTemporary(target.parent_path(), bytes, identity, temporary);
    if (ec) {
        if (identity && DirectoryRefused(ec)) ec = os::RewriteInPlace(target, bytes);
        return Succeeded(ec, error);
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return Succeeded(ec, error);
    }
    return Succeeded(os::SyncDirectory(target.parent_path()), error);
}

bool Create(const fs::path& target, std::string_view bytes, const std::optional<fs::perms>& permissions,
            std::string* error) {
    std::optional<os::FileIdentity> identity;
    if (permissions) identity = os::FileIdentity{*permissions};
    fs::path temporary;
    std::error_code ec = os::WriteTemporary(target.parent_path(), bytes, identity, temporary);
    if (ec) return Succeeded(ec, error);
    // A hard link fails when the name exists, so a file that appeared since
    // the caller looked is left alone; the name shows the whole file at once.
    fs::create_hard_link(temporary, target, ec);
    std::error_code ignored;
    fs::remove(temporary, ignored);
    // File systems without hard links: an exclusive create is the next best.
    if (ec && ec != std::errc::file_exists) ec = os::WriteNewFile(target, bytes, permissions);
    if (!ec) ec = os::SyncDirectory(target.parent_path());
    return Succeeded(ec, error);
}

}  // namespace

bool WriteFileAtomically(const fs::path& target, std::string_view bytes, std::string* error) {
    std::error_code ec;
    const fs::path file = FinalTarget(target, ec);
    if (ec) return Succeeded(ec, error);
    return Replace(file, bytes, error);
}

bool CreateFileExclusively(const fs::path& target, std::string_view bytes, std::string* error) {
    return Create(target, bytes, std::nullopt, error);
}

bool CreateFileExclusively(const fs::path& target, std::string_view bytes, fs::perms permissions, std::string* error) {
    return Create(target, bytes, permissions, error);
}

std::optional<std::string> ReadFirstLine(const fs::path& file, std::size_t limit) {
    std::optional<std::string> line = os::ReadRegularFile(file, limit);
    if (!line || line->empty()) return std::nullopt;
    const std::size_t cr = line->find('\r');
    if (cr != std::string::npos) line->resize(cr);
    return line;
}

}  // namespace hall
