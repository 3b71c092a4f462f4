#include "weekly_schedule_page.h"

#include "fonts.h"
#include "page_frame.h"
#include "schedule_controls.h"
#include "wrapping_button.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

using schedule::Area;

namespace {

// Where the page's controls stand, in twips.
struct Layout {
    int width, height;
    Area title;
    int dayLeft, firstDayTop, dayStep, dayWidth, dayHeight;
    Area next, dateSchedule, save;
};
constexpr Layout kLayout{
    5580,
    5205,
    {1365, 315, 2835, 195},
    690,
    1245,
    315,
    1455,
    315,
    {2730, 2895, 855, 450},
    {2865, 4560, 1095, 480},
    {3975, 4560, 1095, 480},
};

// As the days have always been spelled on this page.
constexpr std::array<const char*, 7> kDays = {"Poniedziałek", "Wtorek", "Sroda",    "Czwartek",
                                              "Piątek",       "Sobota", "Niedziela"};

}  // namespace

WeeklySchedulePage::WeeklySchedulePage(QWidget* parent) : QFrame(parent) {
    hall::setUpPage(this, "Frame3", kLayout.width, kLayout.height);
    QLabel* title =
        schedule::addLabel(this, QStringLiteral("Label45"), QStringLiteral("HARMONOGRAM TYGODNIOWY"), kLayout.title);
    title->setFont(hall::msSansSerif(8.25, true));
    for (int day = 0; day < int(dayBoxes.size()); ++day) {
        dayBoxes[day] = new QCheckBox(QString::fromUtf8(kDays[day]), this);
        dayBoxes[day]->setObjectName(QStringLiteral("Check4_%1").arg(day));
        dayBoxes[day]->setGeometry(schedule::rectOf(
            {kLayout.dayLeft, kLayout.firstDayTop + kLayout.dayStep * day, kLayout.dayWidth, kLayout.dayHeight}));
    }
    nextButton = schedule::addButton(this, QStringLiteral("Command14"), QStringLiteral("Dalej "), kLayout.next);
    dateScheduleButton = new WrappingButton(QStringLiteral("Harmonogram szczególny"), this);
    dateScheduleButton->setObjectName(QStringLiteral("Command3"));
    dateScheduleButton->setGeometry(schedule::rectOf(kLayout.dateSchedule));
    dateScheduleButton->setAutoDefault(false);
    saveButton = schedule::addButton(this, QStringLiteral("Command4"), QStringLiteral("Zapisz"), kLayout.save);
    connect(nextButton, &QPushButton::clicked, this, &WeeklySchedulePage::timeSlotsRequested);
    connect(dateScheduleButton, &QPushButton::clicked, this, &WeeklySchedulePage::dateScheduleRequested);
    connect(saveButton, &QPushButton::clicked, this, &WeeklySchedulePage::saveRequested);
}

std::array<bool, hall::kDayCount> WeeklySchedulePage::days() const {
    std::array<bool, hall::kDayCount> ticked{};
    for (int day = 0; day < hall::kDayCount; ++day) ticked[day] = dayBoxes[day]->isChecked();
    return ticked;
}

void WeeklySchedulePage::setDays(const std::array<bool, hall::kDayCount>& days) {
    for (int day = 0; day < hall::kDayCount; ++day) dayBoxes[day]->setChecked(days[day]);
}
