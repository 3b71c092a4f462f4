#pragma once

#include <QIcon>

namespace hall {

// The programs' own icon, the window icon of vuzo and kontomat.
QIcon programIcon();

}  // namespace hall
