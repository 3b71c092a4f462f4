#include "file_error.h"

#include <string>

namespace hall {
namespace {

class FileErrorCategoryImpl : public std::error_category {
public:
    const char* name() const noexcept override { return "hall-file"; }
    std::string message(int code) const override {
        switch (static_cast<FileError>(code)) {
            case FileError::Empty: return "plik jest pusty";
            case FileError::Damaged: return "zła treść pliku";
        }
        return "nieznany błąd pliku";
    }
};

}  // namespace

const std::error_category& FileErrorCategory() {
    static const FileErrorCategoryImpl category;
    return category;
}

}  // namespace hall
