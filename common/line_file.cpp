#include "line_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace hall {
namespace {

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

std::string ErrnoText(int code) { return std::generic_category().message(code); }

// A name no other writer picks: the target's name, a random tag and a counter.
fs::path TemporarySibling(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    static const unsigned tag = std::random_device{}();
    fs::path name =
        "." + target.filename().string() + ".tmp-" + std::to_string(tag) + "-" + std::to_string(counter.fetch_add(1));
    return target.parent_path() / name;
}

// Writes `bytes` into a new file that must not exist yet ("x": exclusive create).
bool WriteNewFile(const fs::path& file, std::string_view bytes, std::string* error) {
    std::FILE* out = std::fopen(file.string().c_str(), "wbx");
    if (!out) {
        SetError(error, ErrnoText(errno));
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        SetError(error, ErrnoText(written ? errno : writeErrno));
        std::error_code ignored;
        fs::remove(file, ignored);
        return false;
    }
    return true;
}

bool WriteTemporary(const fs::path& target, std::string_view bytes, fs::path& temporary, std::string* error) {
    // A leftover of the same name (an earlier crash) is only skipped, never reused.
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = TemporarySibling(target);
        std::error_code ec;
        if (fs::exists(fs::symlink_status(temporary, ec))) continue;
        return WriteNewFile(temporary, bytes, error);
    }
    SetError(error, "brak wolnej nazwy pliku tymczasowego");
    return false;
}

}  // namespace

bool WriteFileAtomically(const fs::path& target, std::string_view bytes, std::string* error) {
    fs::path temporary;
    if (!WriteTemporary(target, bytes, temporary, error)) return false;
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        SetError(error, ec.message());
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

bool CreateFileExclusively(const fs::path& target, std::string_view bytes, std::string* error) {
    fs::path temporary;
    if (!WriteTemporary(target, bytes, temporary, error)) return false;
    // A hard link fails when the name exists, so a file that appeared since
    // the caller looked is left alone.
    std::error_code ec;
    fs::create_hard_link(temporary, target, ec);
    std::error_code ignored;
    fs::remove(temporary, ignored);
    if (!ec) return true;
    if (ec == std::errc::file_exists) {
        SetError(error, ec.message());
        return false;
    }
    // File systems without hard links: an exclusive create is the next best.
    return WriteNewFile(target, bytes, error);
}

std::optional<std::string> ReadFirstLine(const fs::path& file, std::size_t limit) {
    std::error_code ec;
    // Only regular files: opening a FIFO would block the window thread.
    if (!fs::is_regular_file(file, ec)) return std::nullopt;
    std::FILE* in = std::fopen(file.string().c_str(), "rb");
    if (!in) return std::nullopt;
    std::string line(limit, '\0');
    const std::size_t got = std::fread(line.data(), 1, limit, in);
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed || got == 0) return std::nullopt;
    line.resize(got);
    const std::size_t cr = line.find('\r');
    if (cr != std::string::npos) line.resize(cr);
    return line;
}

}  // namespace hall
