#pragma once

#include <QFrame>

namespace hall {

// Gives a page of the main window its frame and its size in twips; the main
// window moves it to the page anchor when it is chosen.
void setUpPage(QFrame* page, const char* name, int widthTwips, int heightTwips);

}  // namespace hall
