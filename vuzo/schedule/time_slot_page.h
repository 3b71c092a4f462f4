#pragma once

#include "schedule_files.h"

#include <QFrame>

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
class SpinButton;

// The time-slot page of the weekly schedule: eight slots, each an
// hour and a minute with their spin buttons and a box per scene.
class TimeSlotPage : public QFrame {
    Q_OBJECT

public:
    static constexpr int kSlots = 8;
    static constexpr int kScenes = 8;

    explicit TimeSlotPage(QWidget* parent = nullptr);

    std::array<QLineEdit*, kSlots> hourFields{};
    std::array<QLineEdit*, kSlots> minuteFields{};
    std::array<SpinButton*, kSlots> hourSpinButtons{};      // hour, 1 … 23
    std::array<SpinButton*, kSlots> minuteSpinButtons{};    // minute, 0 … 59
    std::array<QCheckBox*, kSlots * kScenes> sceneBoxes{};  // slot × 8 + scene − 1

    using TimeSlots = std::array<hall::WeeklySlot, hall::kSlotCount>;
    TimeSlots timeSlots() const;
    // Through the fields' change rules, as typed; the spin buttons stay.
    void setTimeSlots(const TimeSlots& timeSlots);

signals:
    void daysRequested();  // "Anuluj": back to the weekly schedule page
    void saveRequested();  // "Zapisz"

private:
    void createHeadings();
    void createSlot(int slot);

    QPushButton* saveButton = nullptr;
    QPushButton* cancelButton = nullptr;  // "Anuluj"
};
