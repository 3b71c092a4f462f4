#include "lamp_box.h"

LampBox::LampBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) { setTristate(true); }

int LampBox::value() const {
    switch (checkState()) {
        case Qt::Checked: return 1;
        case Qt::PartiallyChecked: return 2;
        default: return 0;
    }
}

void LampBox::setValue(int value) {
    setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void LampBox::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }
