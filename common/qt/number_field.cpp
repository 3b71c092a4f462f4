#include "number_field.h"

#include "text_number.h"

#include <QLocale>

namespace hall {

char decimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point.at(0).unicode() < 128 ? point.at(0).toLatin1() : '.';
}

double leadingNumber(const QString& text) { return LeadingNumberValue(text.toStdString()); }

QString numberRewrite(const QString& text) {
    return QString::fromStdString(NumberRewrite(text.toStdString(), decimalSeparator()));
}

QString generalNumberText(double value) {
    return QString::fromStdString(FormatGeneralNumber(value, decimalSeparator()));
}

}  // namespace hall
