#include "artwork.h"

// The pictures live in this static library; registering them must happen
// outside any namespace.
static void registerArtwork() { Q_INIT_RESOURCE(common); }

namespace hall {

QIcon programIcon() {
    registerArtwork();
    return QIcon(QStringLiteral(":/common/icon.png"));
}

}  // namespace hall
