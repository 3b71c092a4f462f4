#pragma once

#include <QDate>
#include <QFrame>
#include <QPointer>

#include <array>

class Form2;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The date schedule page (Frame4): ten dated rows, each a date picked from
// the calendar window or typed, a time and a box per scene.
class DateSchedulePage : public QFrame {
    Q_OBJECT

public:
    static constexpr int kRows = 10;
    static constexpr int kScenes = 8;
    // The page's scene boxes continue the Check5 family of the time slots.
    static constexpr int kFirstSceneBox = 64;

    explicit DateSchedulePage(QWidget* parent = nullptr);

    std::array<QPushButton*, kRows> Command5{};        // calendar button of the row
    std::array<QLineEdit*, kRows> Text2{};             // year
    std::array<QLineEdit*, kRows> Text3{};             // month
    std::array<QLineEdit*, kRows> Text4{};             // day
    std::array<QLineEdit*, kRows> Text5{};             // hour
    std::array<QLineEdit*, kRows> Text6{};             // minute
    std::array<QCheckBox*, kRows * kScenes> Check5{};  // Check5_64 … Check5_143: row × 8 + scene − 1

signals:
    void daysRequested();  // "Anuluj": back to the weekly schedule page

private:
    void createHeadings();
    void createRow(int row);
    void openCalendar(int row);
    void writeDate(int row, QDate date);

    QPushButton* Command7 = nullptr;  // "Anuluj"
    QPushButton* Command6 = nullptr;  // "Zapisz", without an action
    QPointer<Form2> form2_;           // made on first use, gone once closed
};
