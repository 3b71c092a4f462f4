#include "account_name.h"

#include "account_file.h"

#include <QFile>

namespace hall {

Result<std::filesystem::path> AccountFilePath(const QString& userName) {
    const QByteArray encoded = QFile::encodeName(userName);
    // A name the file system would store as another name is no name at all.
    if (QFile::decodeName(encoded) != userName) return Unexpected("nazwa nie ma dokładnej postaci nazwy pliku");
    const std::string bytes = encoded.toStdString();
    if (!IsValidAccountName(bytes)) return Unexpected("nazwa nie nadaje się na nazwę konta");
#ifdef Q_OS_WIN
    // Either form is the system's own, taken without a conversion that could fail.
    return std::filesystem::path(userName.toStdWString());
#else
    return std::filesystem::path(bytes);
#endif
}

}  // namespace hall
