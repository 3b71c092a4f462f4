#include "page_frame.h"

#include "twips.h"

namespace hall {

void setUpPage(QFrame* page, const char* name, int widthTwips, int heightTwips) {
    page->setObjectName(QLatin1String(name));
    page->setFrameStyle(QFrame::Box | QFrame::Sunken);
    page->resize(twips(widthTwips), twips(heightTwips));
}

}  // namespace hall
