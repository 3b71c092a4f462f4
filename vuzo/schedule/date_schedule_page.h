#pragma once

#include "schedule_files.h"

#include <QDate>
#include <QFrame>
#include <QPointer>

#include <array>

class CalendarWindow;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The date schedule page: ten dated rows, each a date picked from
// the calendar window or typed, a time and a box per scene.
class DateSchedulePage : public QFrame {
    Q_OBJECT

public:
    static constexpr int kRows = hall::kDatedRowCount;
    static constexpr int kScenes = hall::kSceneCount;
    // The page's scene boxes continue the numbering of the time slots' boxes.
    static constexpr int kFirstSceneBox = 64;

    explicit DateSchedulePage(QWidget* parent = nullptr);

    hall::DatedSchedule rows() const;
    // Through the fields' change rules, as typed.
    void setRows(const hall::DatedSchedule& rows);

signals:
    void daysRequested();  // "Anuluj": back to the weekly schedule page
    void saveRequested();  // "Zapisz"

private:
    void createHeadings();
    void createRow(int row);
    void openCalendar(int row);
    void writeDate(int row, QDate date);
    std::array<std::pair<std::string*, QLineEdit*>, 5> rowTexts(hall::DatedRow& entry, int row) const;

    std::array<QPushButton*, kRows> calendarButtons{};
    std::array<QLineEdit*, kRows> yearFields{};
    std::array<QLineEdit*, kRows> monthFields{};
    std::array<QLineEdit*, kRows> dayFields{};
    std::array<QLineEdit*, kRows> hourFields{};
    std::array<QLineEdit*, kRows> minuteFields{};
    std::array<QCheckBox*, kRows * kScenes> sceneBoxes{};  // row × 8 + scene − 1

    QPushButton* cancelButton = nullptr;  // "Anuluj"
    QPushButton* saveButton = nullptr;
    QPointer<CalendarWindow> calendarWindow_;  // made on first use, gone once closed
};
