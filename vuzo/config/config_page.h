#pragma once

#include <QFrame>

class QLineEdit;
class QPushButton;

// The "Konfiguracja" page: the switch-off delay, in minutes, kept for the
// hall's controller, which watches the motion sensors.
class ConfigPage : public QFrame {
    Q_OBJECT

public:
    explicit ConfigPage(QWidget* parent = nullptr);

    QLineEdit* delayField = nullptr;  // switch-off delay

signals:
    void saveRequested();  // "Zapisz"

private:
    void applyChangeRule();

    QPushButton* saveButton = nullptr;
};
