#pragma once

#include <QFrame>

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
class SpinButton;

// The time-slot page of the weekly schedule (Frame6): eight slots, each an
// hour and a minute with their spin buttons and a box per scene.
class TimeSlotPage : public QFrame {
    Q_OBJECT

public:
    static constexpr int kSlots = 8;
    static constexpr int kScenes = 8;

    explicit TimeSlotPage(QWidget* parent = nullptr);

    std::array<QLineEdit*, kSlots> Text8{};             // hour
    std::array<QLineEdit*, kSlots> Text7{};             // minute
    std::array<SpinButton*, kSlots> SpinButton2{};      // hour, 1 … 23
    std::array<SpinButton*, kSlots> SpinButton1{};      // minute, 0 … 59
    std::array<QCheckBox*, kSlots * kScenes> Check5{};  // slot × 8 + scene − 1

signals:
    void daysRequested();  // "Anuluj": back to the weekly schedule page

private:
    void createHeadings();
    void createSlot(int slot);

    QPushButton* Command12 = nullptr;  // "Zapisz", without an action
    QPushButton* Command13 = nullptr;  // "Anuluj"
};
