#include "login_check.h"

#include "account_file.h"
#include "panel_sessions.h"

#include <iconv.h>

#include <optional>
#include <string>

namespace sterownik::panel {
namespace {

// The first `limit` characters of UTF-8 text as Windows-1250 codes, one byte
// each; nothing when one of them has no code or the text is not UTF-8.
std::optional<std::string> Windows1250(std::string_view utf8, std::size_t limit) {
    const iconv_t convert = ::iconv_open("WINDOWS-1250", "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    // Cut before the first character past the limit: what follows plays no part, whatever it is.
    std::size_t characters = 0, end = 0;
    for (; end < utf8.size(); ++end)
        if ((static_cast<unsigned char>(utf8[end]) & 0xC0) != 0x80 && ++characters > limit) break;
    std::string in(utf8.substr(0, end)), out(limit, '\0');
    char* inAt = in.data();
    char* outAt = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const std::size_t done = ::iconv(convert, &inAt, &inLeft, &outAt, &outLeft);
    ::iconv_close(convert);
    if (done == static_cast<std::size_t>(-1)) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

LoginVerdict CheckLogin(std::string_view user, std::string_view password) {
    if (!hall::IsValidAccountName(user) || !hall::IsPrintableName(user)) return LoginVerdict::UnknownUser;
    const hall::os::SysResult<std::string> stored = hall::ReadAccountFile(std::string(user));
    if (!stored) return LoginVerdict::UnknownUser;
    const std::optional<std::string> codes = Windows1250(password, hall::kPasswordPositions);
    const std::optional<std::string> scrambled = codes ? hall::ScramblePassword(*codes) : std::nullopt;
    if (!scrambled) return LoginVerdict::UnknownUser;
    return *scrambled == *stored ? LoginVerdict::Accepted : LoginVerdict::WrongPassword;
}

}  // namespace sterownik::panel
