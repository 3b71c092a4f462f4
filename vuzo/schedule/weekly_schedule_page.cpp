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
    for (int day = 0; day < int(Check4.size()); ++day) {
        Check4[day] = new QCheckBox(QString::fromUtf8(kDays[day]), this);
        Check4[day]->setObjectName(QStringLiteral("Check4_%1").arg(day));
        Check4[day]->setGeometry(schedule::rectOf(
            {kLayout.dayLeft, kLayout.firstDayTop + kLayout.dayStep * day, kLayout.dayWidth, kLayout.dayHeight}));
    }
    Command14 = schedule::addButton(this, QStringLiteral("Command14"), QStringLiteral("Dalej "), kLayout.next);
    Command3 = new WrappingButton(QStringLiteral("Harmonogram szczególny"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(schedule::rectOf(kLayout.dateSchedule));
    Command3->setAutoDefault(false);
    Command4 = schedule::addButton(this, QStringLiteral("Command4"), QStringLiteral("Zapisz"), kLayout.save);
    connect(Command14, &QPushButton::clicked, this, &WeeklySchedulePage::timeSlotsRequested);
    connect(Command3, &QPushButton::clicked, this, &WeeklySchedulePage::dateScheduleRequested);
}
