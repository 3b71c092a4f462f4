#include "account_name.h"

#include "account_file.h"

#include <QFile>

namespace hall {

std::optional<std::filesystem::path> AccountFilePath(const QString& userName) {
    const QByteArray encoded = QFile::encodeName(userName);
    // A name the file system would store as another name is no name at all.
    if (QFile::decodeName(encoded) != userName) return std::nullopt;
    const std::string bytes = encoded.toStdString();
    if (!IsValidAccountName(bytes)) return std::nullopt;
    try {
#ifdef Q_OS_WIN
        return std::filesystem::path(userName.toStdWString());
#else
        return std::filesystem::path(bytes);
#endif
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace hall
