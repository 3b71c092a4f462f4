#include "line_file.h"

#include "posix_file.h"

#include <system_error>

namespace fs = std::filesystem;

namespace hall {
namespace {

bool Succeeded(const std::error_code& ec, std::string* error) {
    if (ec && error) *error = ec.message();
    return !ec;
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
    // Replacing the file a link leads to, not the link, keeps the link for
    // everyone who reads through it.
    fs::path file;
    const std::error_code ec = os::FollowTrustedLinks(target, file);
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

std::optional<std::vector<std::string>> ReadLines(const fs::path& file, std::size_t limit) {
    // One byte more than allowed tells a file that is too large from one that fits.
    const std::optional<std::string> bytes = os::ReadRegularFile(file, limit + 1);
    if (!bytes || bytes->size() > limit) return std::nullopt;
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
