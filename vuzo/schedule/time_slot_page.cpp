#include "time_slot_page.h"

#include "page_frame.h"

TimeSlotPage::TimeSlotPage(QWidget* parent) : QFrame(parent) {
    hall::setUpPage(this, "Frame6", 6090, 6150);
}
