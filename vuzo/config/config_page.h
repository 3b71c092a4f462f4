#pragma once

#include <QFrame>

class QLineEdit;
class QPushButton;

// The "Konfiguracja" page (Frame2): the switch-off delay, in minutes. The
// value lives in its field only; nothing stores or reads it.
class ConfigPage : public QFrame {
    Q_OBJECT

public:
    explicit ConfigPage(QWidget* parent = nullptr);

    QLineEdit* Text1 = nullptr;  // switch-off delay

private:
    void applyChangeRule();

    QPushButton* Command2 = nullptr;  // "Zapisz", without an action
};
