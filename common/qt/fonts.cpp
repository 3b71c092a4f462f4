#include "fonts.h"

#include <QStringList>

namespace hall {
namespace {

QFont makeFont(const QStringList& families, qreal pointSize, bool bold, bool italic) {
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

}  // namespace

QFont msSansSerif(qreal pointSize, bool bold, bool italic) {
    static const QStringList families = {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial",
                                         "DejaVu Sans"};
    return makeFont(families, pointSize, bold, italic);
}

QFont timesNewRoman(qreal pointSize, bool bold) {
    static const QStringList families = {"Times New Roman", "Liberation Serif", "DejaVu Serif"};
    return makeFont(families, pointSize, bold, false);
}

}  // namespace hall
