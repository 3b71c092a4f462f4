#include "schedule_fields.h"

#include "number_field.h"
#include "text_number.h"

#include <QLineEdit>

namespace schedule {
namespace {

// Writing back an unchanged text would only move the cursor to the end.
void setChangedText(QLineEdit* field, const QString& text) {
    if (field->text() != text) field->setText(text);
}

}  // namespace

void applyTimeFieldRule(QLineEdit* field, int limit) {
    if (hall::leadingNumber(field->text()) > limit) setChangedText(field, QString::number(limit));
    setChangedText(field, hall::numberRewrite(field->text()));
}

// Any negative value, however far below zero, writes "0-…", which reads as 0
// and so settles as "00".
void applyDateFieldRule(QLineEdit* field) {
    const double value = hall::leadingNumber(field->text());
    if (value < 10) setChangedText(field, QLatin1Char('0') + hall::generalNumberText(hall::RoundHalfEven(value)));
}

void followTimeFieldRule(QLineEdit* field, int limit) {
    QObject::connect(field, &QLineEdit::textChanged, field, [field, limit] { applyTimeFieldRule(field, limit); });
}

void followDateFieldRule(QLineEdit* field) {
    QObject::connect(field, &QLineEdit::textChanged, field, [field] { applyDateFieldRule(field); });
}

}  // namespace schedule
