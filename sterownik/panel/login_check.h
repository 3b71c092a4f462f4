#pragma once

#include <string_view>

namespace sterownik::panel {

enum class LoginVerdict { Accepted, UnknownUser, WrongPassword };

// The configurator's check of an account, for names and passwords typed in a
// browser (UTF-8): the account file in the working directory, then the
// password's first 64 characters in Windows-1250, scrambled and compared. A
// name that is not a fit account name, or a character Windows-1250 lacks, is
// an unknown user, as in the configurator.
LoginVerdict CheckLogin(std::string_view user, std::string_view password);

}  // namespace sterownik::panel
