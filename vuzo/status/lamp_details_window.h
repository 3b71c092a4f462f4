#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// The lamp details window: the lamp's number, voltage, current and failure
// information, filled from the lamp's entry of the lamp flag table. One
// window, reused; "ok" only hides it.
class LampDetailsWindow : public QWidget {
    Q_OBJECT

public:
    explicit LampDetailsWindow(QWidget* parent = nullptr);

    // Fills the window for lamp button `index` and shows it in front.
    void showLamp(int index, qint16 flag);

private:
    QLabel* lampNumberLabel;
    QLineEdit* voltageField;
    QLineEdit* currentField;
    QLineEdit* failureField;
    QLineEdit* workTimeField;
    QPushButton* okButton;
};
