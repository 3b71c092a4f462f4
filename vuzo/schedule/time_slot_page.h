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

private:
    // The page's own controls; others act through the members below.
    std::array<QLineEdit*, hall::kSlotCount> hourFields{};
    std::array<QLineEdit*, hall::kSlotCount> minuteFields{};
    std::array<SpinButton*, hall::kSlotCount> hourSpinButtons{};                // hour, 1 … 23
    std::array<SpinButton*, hall::kSlotCount> minuteSpinButtons{};              // minute, 0 … 59
    std::array<QCheckBox*, hall::kSlotCount * hall::kSceneCount> sceneBoxes{};  // slot × 8 + scene − 1
    QPushButton* saveButton = nullptr;
    QPushButton* cancelButton = nullptr;  // "Anuluj"

public:
    static constexpr int kSlots = hall::kSlotCount;
    static constexpr int kScenes = hall::kSceneCount;

    explicit TimeSlotPage(QWidget* parent = nullptr);

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
};
