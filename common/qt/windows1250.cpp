#include "windows1250.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace hall {

std::optional<std::string> toWindows1250(const QString& text) {
    QStringEncoder encoder("windows-1250", QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) return std::nullopt;
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) return std::nullopt;
    return bytes.toStdString();
}

std::string toWindows1250Lossy(const QString& text) {
    QStringEncoder encoder("windows-1250", QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) return text.toLatin1().toStdString();
    return QByteArray(encoder.encode(text)).toStdString();
}

}  // namespace hall

namespace hall {

QString fromWindows1250(const std::string& bytes) {
    QStringDecoder decoder("windows-1250", QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

}  // namespace hall
