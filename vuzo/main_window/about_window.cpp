#include "about_window.h"

#include "artwork.h"
#include "clickable_label.h"
#include "controls.h"
#include "fonts.h"
#include "shape.h"
#include "twips.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

using hall::twipsRect;

AboutWindow::AboutWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Form4"));
    setFont(hall::msSansSerif());
    setFixedSize(hall::twips(6300), hall::twips(3570));
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(192, 192, 255));
    setPalette(background);

    auto* frame = new hall::Shape(hall::Shape::Kind::RoundedRectangle, this);
    frame->setObjectName(QStringLiteral("Shape1"));
    frame->setBorderColor(QColor(0, 0, 255));
    frame->setGeometry(twipsRect(60, 60, 6195, 3465));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setGeometry(twipsRect(390, 555, 480, 480));
    icon->setPixmap(hall::programIcon().pixmap(32, 32));
    icon->setScaledContents(true);

    auto* logo = new hall::ClickableLabel(this);
    logo->setObjectName(QStringLiteral("Image2"));
    logo->setGeometry(twipsRect(1590, 150, 4545, 705));
    logo->setPixmap(QPixmap(QStringLiteral(":/vuzo/logo.png")));
    logo->setScaledContents(true);
    logo->setCursor(Qt::PointingHandCursor);
    logo->setAccessibleName(QStringLiteral("strona producenta"));
    connect(logo, &hall::ClickableLabel::clicked, this, &AboutWindow::vendorPageRequested);

    new hall::Line(1530, 960, 6165, 960, this);
    new hall::Line(1320, 390, 1320, 2460, this);
    hall::placeLabel(QStringLiteral(" KONFIGURATOR OŚWIETLENIA HALI"), twipsRect(1635, 1215, 3030, 195), this)
        ->setObjectName(QStringLiteral("Label1"));
    hall::placeLabel(QStringLiteral("Wersja: 1.09"), twipsRect(1635, 1680, 900, 195), this)
        ->setObjectName(QStringLiteral("Label2"));

    QPushButton* ok = hall::placeButton("Command1", QStringLiteral("Ok"), twipsRect(1920, 2835, 1920, 420), this);
    connect(ok, &QPushButton::clicked, this, &QWidget::hide);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}
