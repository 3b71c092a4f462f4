#include "lamp_details_window.h"

#include "controls.h"
#include "fonts.h"
#include "number_field.h"
#include "twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using hall::twipsRect;

namespace {

constexpr int kFailedFixtureIndex = 40;  // lamp 41
constexpr double kFlaggedCurrent = 1.4;

QLabel* fixedLabel(const char* name, const QString& text, const QRect& geometry, QWidget* parent) {
    QLabel* label = hall::placeLabel(text, geometry, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QLineEdit* field(const char* name, const QString& accessibleName, const QRect& geometry, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setAccessibleName(accessibleName);
    edit->setGeometry(geometry);
    return edit;
}

}  // namespace

LampDetailsWindow::LampDetailsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Form3"));
    setFont(hall::msSansSerif());
    setFixedSize(hall::twips(4680), hall::twips(3195));
    const QFont heading = hall::msSansSerif(13.5, true, true);
    fixedLabel("Label4", QStringLiteral("stan Lampy nr:"), twipsRect(285, 210, 2340, 360), this)->setFont(heading);
    lampNumberLabel = fixedLabel("Label5", QStringLiteral("0"), twipsRect(2715, 210, 345, 360), this);
    lampNumberLabel->setFont(heading);
    fixedLabel("Label1", QStringLiteral("napięcie"), twipsRect(420, 885, 915, 195), this);
    voltageField = field("Text1", QStringLiteral("napięcie"), twipsRect(2220, 855, 720, 285), this);
    fixedLabel("Label2", QStringLiteral("prąd"), twipsRect(420, 1265, 1155, 195), this);
    currentField = field("Text2", QStringLiteral("prąd"), twipsRect(2220, 1215, 720, 285), this);
    fixedLabel("Label6", QStringLiteral("Czas pracy lampy"), twipsRect(420, 1650, 1230, 195), this);
    workTimeField = field("Text4", QStringLiteral("czas pracy lampy"), twipsRect(2220, 1575, 720, 285), this);
    fixedLabel("Label3", QStringLiteral("informacja o awariach"), twipsRect(420, 2025, 1755, 195), this);
    failureField = field("Text3", QStringLiteral("informacja o awariach"), twipsRect(2220, 1935, 1500, 285), this);
    okButton = hall::placeButton("Command1", QStringLiteral("ok"), twipsRect(3150, 2685, 1080, 360), this);
    connect(okButton, &QPushButton::clicked, this, &QWidget::hide);
    hall::fitLabels(this);
}

void LampDetailsWindow::showLamp(int index, qint16 flag) {
    lampNumberLabel->setText(QString::number(index + 1));
    hall::fitLabel(lampNumberLabel);
    if (flag == 1) {
        voltageField->setText(QStringLiteral("220"));
        currentField->setText(hall::generalNumberText(kFlaggedCurrent));
        failureField->setText(QStringLiteral("brak awarii"));
    } else {
        voltageField->clear();
        currentField->clear();
        failureField->setText(index == kFailedFixtureIndex ? QStringLiteral("awaria oprawy")
                                                           : QStringLiteral("brak awarii"));
    }
    show();
    raise();
    activateWindow();
}
