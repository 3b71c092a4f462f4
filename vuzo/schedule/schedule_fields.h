#pragma once

class QLineEdit;

// The correction rules of the schedule fields. Each runs on every change of
// its field's text and corrects the text in place; a correction is itself a
// change and runs the rule again until the text holds still.
namespace schedule {

inline constexpr int kHourLimit = 23;
inline constexpr int kMinuteLimit = 59;

// Hour and minute: a value above `limit` becomes the limit, then the text
// becomes its number. Nothing is raised: a negative entry stays.
void applyTimeFieldRule(QLineEdit* field, int limit);

// Month and day: a value below 10 becomes "0" and the value rounded (halves
// to even); 10 and above stay as typed.
void applyDateFieldRule(QLineEdit* field);

void followTimeFieldRule(QLineEdit* field, int limit);
void followDateFieldRule(QLineEdit* field);

}  // namespace schedule
