#include "weekly_schedule_page.h"

#include "page_frame.h"

WeeklySchedulePage::WeeklySchedulePage(QWidget* parent) : QFrame(parent) {
    hall::setUpPage(this, "Frame3", 5580, 5205);
}
