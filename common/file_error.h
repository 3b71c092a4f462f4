#pragma once

// Why a file that the system read without a fault still gives nothing: codes
// of their own, so that no system error can be taken for them.

#include <system_error>

namespace hall {

enum class FileError {
    Empty = 1,  // not a byte in it
    Damaged,    // read whole, but not in the layout its reader takes
};

const std::error_category& FileErrorCategory();

inline std::error_code make_error_code(FileError error) { return {static_cast<int>(error), FileErrorCategory()}; }

}  // namespace hall

template <>
struct std::is_error_code_enum<hall::FileError> : std::true_type {};
