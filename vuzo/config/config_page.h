#pragma once

#include <QFrame>

class QLineEdit;
class QPushButton;

// The "Konfiguracja" page: the switch-off delay, in minutes. The
// value lives in its field only; nothing stores or reads it.
class ConfigPage : public QFrame {
    Q_OBJECT

public:
    explicit ConfigPage(QWidget* parent = nullptr);

    QLineEdit* delayField = nullptr;  // switch-off delay

private:
    void applyChangeRule();

    QPushButton* saveButton = nullptr;  // "Zapisz", without an action
};
