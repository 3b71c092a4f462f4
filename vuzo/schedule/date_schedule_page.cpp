#include "date_schedule_page.h"

#include "windows1250.h"

#include "calendar_window.h"
#include "fonts.h"
#include "page_frame.h"
#include "schedule_controls.h"
#include "schedule_fields.h"
#include "shape.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using schedule::Area;

namespace {

struct Caption {
    const char* name;
    const char* text;
    Area at;
    bool bold;
};

struct Column {
    int left, width;
};

// Where the page's controls stand, in twips. The rows drift a little: the
// scene boxes of the lower rows sit further right.
struct Layout {
    int width, height;
    std::array<Caption, 12> captions;
    std::array<std::array<int, 4>, 3> rules;  // from (x1, y1) to (x2, y2)
    int calendarLeft, calendarSide;
    std::array<int, 10> calendarTops;
    Column year, month, day, hour, minute;
    int fieldHeight;
    std::array<int, 10> fieldTops;
    std::array<int, 10> sceneLefts, sceneTops;
    int sceneStep, sceneWidth, sceneHeight;
    Area cancel, save;
};
constexpr Layout kLayout{
    6015,
    6120,
    {{{"Label46", "HARMONOGRAM WEDŁUG DAT", {2040, 90, 2820, 195}, true},
      {"Label29", "Scena:", {4605, 300, 615, 195}, true},
      {"Label20", "data", {1380, 540, 690, 285}, false},
      {"Label30", "czas", {2880, 540, 615, 210}, false},
      {"Label28", "1", {4155, 570, 90, 195}, false},
      {"Label27", "2", {4380, 570, 90, 195}, false},
      {"Label26", "3", {4605, 570, 90, 195}, false},
      {"Label25", "4", {4830, 570, 90, 195}, false},
      {"Label24", "5", {5070, 570, 90, 195}, false},
      {"Label23", "6", {5295, 570, 90, 195}, false},
      {"Label22", "7", {5520, 570, 90, 195}, false},
      {"Label21", "8", {5745, 570, 90, 195}, false}}},
    {{{525, 810, 5970, 810}, {2535, 570, 2535, 5295}, {3930, 570, 3930, 5280}}},
    495,
    405,
    {855, 1290, 1725, 2160, 2595, 3030, 3465, 3900, 4335, 4785},
    {1020, 570},
    {1620, 420},
    {2070, 405},
    {2640, 495},
    {3150, 540},
    300,
    {930, 1365, 1800, 2235, 2670, 3105, 3540, 3975, 4410, 4860},
    {4125, 4125, 4125, 4140, 4140, 4155, 4170, 4185, 4200, 4200},
    {1020, 1455, 1890, 2325, 2760, 3195, 3630, 4065, 4500, 4950},
    225,
    225,
    195,
    {2760, 5400, 1305, 450},
    {4140, 5400, 1335, 450},
};

const QString kCalendarPicture = QStringLiteral(":/schedule/calendar.png");
constexpr QSize kCalendarPictureSize(24, 22);

}  // namespace

DateSchedulePage::DateSchedulePage(QWidget* parent) : QFrame(parent) {
    Q_INIT_RESOURCE(schedule);  // the picture lives in this static library
    hall::setUpPage(this, "Frame4", kLayout.width, kLayout.height);
    createHeadings();
    for (int row = 0; row < kRows; ++row) createRow(row);
    cancelButton = schedule::addButton(this, QStringLiteral("Command7"), QStringLiteral("Anuluj"), kLayout.cancel);
    saveButton = schedule::addButton(this, QStringLiteral("Command6"), QStringLiteral("Zapisz"), kLayout.save);
    connect(cancelButton, &QPushButton::clicked, this, &DateSchedulePage::daysRequested);
    connect(saveButton, &QPushButton::clicked, this, &DateSchedulePage::saveRequested);
}

hall::DatedSchedule DateSchedulePage::rows() const {
    hall::DatedSchedule entries;
    for (int row = 0; row < kRows; ++row) {
        hall::DatedRow& entry = entries[row];
        for (const auto& [text, field] : rowTexts(entry, row)) *text = hall::toWindows1250Lossy(field->text());
        entry.scenes = schedule::sceneTicks(&sceneBoxes[row * kScenes]);
    }
    return entries;
}

void DateSchedulePage::setRows(const hall::DatedSchedule& rows) {
    for (int row = 0; row < kRows; ++row) {
        hall::DatedRow entry = rows[row];
        for (const auto& [text, field] : rowTexts(entry, row)) field->setText(hall::fromWindows1250(*text));
        schedule::setSceneTicks(&sceneBoxes[row * kScenes], entry.scenes);
    }
}

// A row's texts beside the fields that show them, year to minute.
std::array<std::pair<std::string*, QLineEdit*>, 5> DateSchedulePage::rowTexts(hall::DatedRow& entry, int row) const {
    return {{{&entry.year, yearFields[row]},
             {&entry.month, monthFields[row]},
             {&entry.day, dayFields[row]},
             {&entry.hour, hourFields[row]},
             {&entry.minute, minuteFields[row]}}};
}

void DateSchedulePage::createHeadings() {
    for (const Caption& caption : kLayout.captions) {
        const QString text = QString::fromUtf8(caption.text);
        QLabel* label = schedule::addLabel(this, QLatin1String(caption.name), text, caption.at);
        if (caption.bold) label->setFont(hall::msSansSerif(8.25, true));
    }
    for (const auto& [x1, y1, x2, y2] : kLayout.rules) new hall::Line(x1, y1, x2, y2, this);
}

void DateSchedulePage::createRow(int row) {
    const QString where = QStringLiteral(", wiersz %1").arg(row + 1);
    QPushButton* calendar = schedule::addButton(
        this, QStringLiteral("Command5_%1").arg(row), QString(),
        {kLayout.calendarLeft, kLayout.calendarTops[row], kLayout.calendarSide, kLayout.calendarSide});
    calendar->setIcon(QIcon(kCalendarPicture));
    calendar->setIconSize(kCalendarPictureSize);
    calendar->setAccessibleName(QStringLiteral("kalendarz") + where);
    calendar->setToolTip(QStringLiteral("Wybierz datę z kalendarza"));
    connect(calendar, &QPushButton::clicked, this, [this, row] { openCalendar(row); });
    calendarButtons[row] = calendar;

    const auto field = [this, row, &where](const char* name, const char* what, Column column) {
        return schedule::addField(this, QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(row),
                                  QString::fromUtf8(what) + where,
                                  {column.left, kLayout.fieldTops[row], column.width, kLayout.fieldHeight});
    };
    yearFields[row] = field("Text2", "rok", kLayout.year);
    monthFields[row] = field("Text3", "miesiąc", kLayout.month);
    dayFields[row] = field("Text4", "dzień", kLayout.day);
    hourFields[row] = field("Text5", "godzina", kLayout.hour);
    minuteFields[row] = field("Text6", "minuta", kLayout.minute);
    schedule::followDateFieldRule(monthFields[row]);
    schedule::followDateFieldRule(dayFields[row]);
    schedule::followTimeFieldRule(hourFields[row], schedule::kHourLimit);
    schedule::followTimeFieldRule(minuteFields[row], schedule::kMinuteLimit);

    for (int scene = 0; scene < kScenes; ++scene) {
        const int index = row * kScenes + scene;
        const Area at{kLayout.sceneLefts[row] + kLayout.sceneStep * scene, kLayout.sceneTops[row], kLayout.sceneWidth,
                      kLayout.sceneHeight};
        sceneBoxes[index] =
            schedule::addSceneBox(this, kFirstSceneBox + index, QStringLiteral("scena %1").arg(scene + 1) + where, at);
    }
}

// The calendar belongs to the main window, not to the page: it stays up when
// the operator leaves the page, and a later pick still lands in its row.
void DateSchedulePage::openCalendar(int row) {
    if (!calendarWindow_) {
        calendarWindow_ = new CalendarWindow(window());
        connect(calendarWindow_, &CalendarWindow::datePicked, this, &DateSchedulePage::writeDate);
    }
    calendarWindow_->setTargetRow(qint16(row));
    calendarWindow_->show();
    calendarWindow_->raise();
    calendarWindow_->activateWindow();
}

// Year, month, day, in that order: the date rule pads month and day at once.
void DateSchedulePage::writeDate(int row, QDate date) {
    if (row < 0 || row >= kRows || !date.isValid()) return;
    yearFields[row]->setText(QString::number(date.year()));
    monthFields[row]->setText(QString::number(date.month()));
    dayFields[row]->setText(QString::number(date.day()));
}
