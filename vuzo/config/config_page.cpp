#include "config_page.h"

#include "page_frame.h"

ConfigPage::ConfigPage(QWidget* parent) : QFrame(parent) {
    hall::setUpPage(this, "Frame2", 5580, 5595);
}
