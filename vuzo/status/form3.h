#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// The lamp details window: the lamp's number, voltage, current and failure
// information, filled from the lamp's entry of the lamp flag table. One
// window, reused; "ok" only hides it.
class Form3 : public QWidget {
    Q_OBJECT

public:
    explicit Form3(QWidget* parent = nullptr);

    // Fills the window for lamp button `index` and shows it in front.
    void showLamp(int index, qint16 flag);

private:
    QLabel* Label5;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QPushButton* Command1;
};
