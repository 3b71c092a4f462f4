#include "date_schedule_page.h"

#include "page_frame.h"

DateSchedulePage::DateSchedulePage(QWidget* parent) : QFrame(parent) {
    hall::setUpPage(this, "Frame4", 6015, 6120);
}
