#pragma once

#include <QFrame>

class QLineEdit;
class QPushButton;

// The "Konfiguracja" page: the switch-off delay, in minutes, kept for the
// hall's controller, which watches the motion sensors.
class ConfigPage : public QFrame {
    Q_OBJECT

private:
    // The page's own controls; others act through the members below.
    QLineEdit* delayField = nullptr;  // switch-off delay
    QPushButton* saveButton = nullptr;

public:
    explicit ConfigPage(QWidget* parent = nullptr);

    // The switch-off delay as its field reads; setting it runs the field's rule.
    QString delay() const;
    void setDelay(const QString& text);

signals:
    void saveRequested();  // "Zapisz"

private:
    void applyChangeRule();
};
