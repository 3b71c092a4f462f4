#pragma once

#include "result.h"

#include <QString>

#include <filesystem>

namespace hall {

// The account file of a typed user name, relative to the working directory;
// or, in Polish, why the name has none: it is no fit account name, or it has
// no exact file-name form (an unpaired surrogate, for instance). Such a name
// can neither be created nor log in.
Result<std::filesystem::path> AccountFilePath(const QString& userName);

}  // namespace hall
