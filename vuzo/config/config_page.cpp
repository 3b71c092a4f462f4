#include "config_page.h"

#include "controls.h"
#include "fonts.h"
#include "number_field.h"
#include "page_frame.h"
#include "twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using hall::place;

namespace {

// Where the page's controls stand, in twips.
constexpr int kPageWidth = 5580;
constexpr int kPageHeight = 5595;
constexpr hall::ControlPlace kHeading{"Label10", 900, 480, 3150, 360};
constexpr hall::ControlPlace kDelayLabel{"Label1", 210, 1200, 2685, 510};
constexpr hall::ControlPlace kDelayField{"Text1", 2955, 1200, 1275, 360};
constexpr hall::ControlPlace kSave{"Command2", 2760, 4560, 1335, 510};

}  // namespace

ConfigPage::ConfigPage(QWidget* parent) : QFrame(parent) {
    hall::setUpPage(this, "Frame2", kPageWidth, kPageHeight);
    QLabel* heading = place(new QLabel(QStringLiteral("Konfiguracja systemu"), this), kHeading);
    heading->setFont(hall::msSansSerif(13.5, true));
    const QString delayCaption = QStringLiteral("czas wyłączenia oświetlenia przy braku ruchu w minutach");
    QLabel* delayLabel = place(new QLabel(delayCaption, this), kDelayLabel);
    delayLabel->setWordWrap(true);

    delayField = place(new QLineEdit(this), kDelayField);
    delayField->setAccessibleName(QStringLiteral("czas wyłączenia w minutach"));
    hall::removeLengthLimit(delayField);
    delayLabel->setBuddy(delayField);
    connect(delayField, &QLineEdit::textChanged, this, &ConfigPage::applyChangeRule);

    saveButton = place(hall::makeButton(QStringLiteral("Zapisz"), this), kSave);
    connect(saveButton, &QPushButton::clicked, this, &ConfigPage::saveRequested);
}

QString ConfigPage::delay() const { return delayField->text(); }

void ConfigPage::setDelay(const QString& text) { delayField->setText(text); }

// The field always holds a number; an unchanged text is not written back, so
// the cursor stays where the operator put it.
void ConfigPage::applyChangeRule() {
    const QString rewritten = hall::numberRewrite(delayField->text());
    if (rewritten != delayField->text()) delayField->setText(rewritten);
}
