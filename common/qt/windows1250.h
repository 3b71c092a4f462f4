#pragma once

#include <QString>

#include <optional>
#include <string>

namespace hall {

// The Windows-1250 bytes of a typed text, the code page the account files
// use; nothing when a character has no code there.
std::optional<std::string> toWindows1250(const QString& text);

// The same for a text that is stored whatever it holds: a character without
// a code becomes "?".
std::string toWindows1250Lossy(const QString& text);

}  // namespace hall

namespace hall {

// Text read from a file of the hall, in Windows-1250.
QString fromWindows1250(const std::string& bytes);

}  // namespace hall
