#include "windows1250.h"

#include <QStringEncoder>

namespace hall {

std::optional<std::string> toWindows1250(const QString& text) {
    QStringEncoder encoder("windows-1250", QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) return std::nullopt;
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) return std::nullopt;
    return bytes.toStdString();
}

}  // namespace hall
