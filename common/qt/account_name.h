#pragma once

#include <QString>

#include <filesystem>
#include <optional>

namespace hall {

// The account file of a typed user name, relative to the working directory.
// Nothing when the name is no fit account name or has no exact file-name
// form (an unpaired surrogate, for instance): such a name can neither be
// created nor log in.
std::optional<std::filesystem::path> AccountFilePath(const QString& userName);

}  // namespace hall
