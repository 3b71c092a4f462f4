#include "time_slot_page.h"

#include "windows1250.h"

#include "page_frame.h"
#include "schedule_controls.h"
#include "schedule_fields.h"
#include "shape.h"
#include "spin_button.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using schedule::Area;

namespace {

struct Caption {
    const char* name;
    const char* text;
    Area at;
};

// Where the page's controls stand, in twips. The last slot's scene boxes sit
// a little apart from the regular rows.
struct Layout {
    int width, height;
    std::array<Caption, 11> captions;
    std::array<int, 4> rule;  // from (x1, y1) to (x2, y2)
    int hourLeft, minuteLeft, fieldWidth, fieldHeight;
    std::array<int, 8> fieldTops;
    int hourSpinLeft, minuteSpinLeft, spinWidth, spinHeight;
    std::array<int, 8> hourSpinTops, minuteSpinTops;
    int sceneLeft, lastSceneLeft, sceneStep, sceneTop, sceneRowStep, lastSceneTop, sceneWidth, sceneHeight;
    Area save, cancel;
};
constexpr Layout kLayout{
    6090,
    6150,
    {{{"Label40", "godz.", {1500, 1230, 390, 195}},
      {"Label41", "min.", {2175, 1230, 285, 195}},
      {"Label11", "Scena:", {4185, 885, 510, 195}},
      {"Label12", "1", {3555, 1230, 90, 195}},
      {"Label13", "2", {3780, 1230, 90, 195}},
      {"Label14", "3", {4005, 1230, 90, 195}},
      {"Label15", "4", {4230, 1230, 90, 195}},
      {"Label16", "5", {4470, 1230, 90, 195}},
      {"Label17", "6", {4695, 1230, 90, 195}},
      {"Label18", "7", {4920, 1230, 90, 195}},
      {"Label19", "8", {5145, 1230, 90, 195}}}},
    {1125, 1470, 5430, 1470},
    1425,
    2070,
    480,
    285,
    {1605, 1935, 2250, 2550, 2850, 3150, 3450, 3750},
    1890,
    2550,
    180,
    270,
    {1605, 1920, 2235, 2535, 2835, 3135, 3435, 3735},
    {1620, 1935, 2250, 2550, 2850, 3150, 3450, 3750},
    3510,
    3495,
    225,
    1710,
    300,
    3795,
    225,
    195,
    {3000, 5070, 765, 435},
    {3825, 5070, 765, 435},
};

// The spin buttons' ranges: hours start at 1, minutes at 0.
constexpr int kHourMin = 1;
constexpr int kMinuteMin = 0;

Area sceneBox(int slot, int scene) {
    const bool last = slot == TimeSlotPage::kSlots - 1;
    const int left = (last ? kLayout.lastSceneLeft : kLayout.sceneLeft) + kLayout.sceneStep * scene;
    const int top = last ? kLayout.lastSceneTop : kLayout.sceneTop + kLayout.sceneRowStep * slot;
    return {left, top, kLayout.sceneWidth, kLayout.sceneHeight};
}

// The field follows its spin button whenever the spin button's value changes.
SpinButton* addSpin(QWidget* page, const QString& name, const QString& accessibleName, int min, int max, const Area& at,
                    QLineEdit* field) {
    auto* spin = new SpinButton(min, max, min, page);
    spin->setObjectName(name);
    spin->setAccessibleName(accessibleName);
    spin->setGeometry(schedule::rectOf(at));
    QObject::connect(spin, &SpinButton::valueChanged, field,
                     [field](int value) { field->setText(QString::number(value)); });
    return spin;
}

}  // namespace

TimeSlotPage::TimeSlotPage(QWidget* parent) : QFrame(parent) {
    hall::setUpPage(this, "Frame6", kLayout.width, kLayout.height);
    createHeadings();
    for (int slot = 0; slot < kSlots; ++slot) createSlot(slot);
    saveButton = schedule::addButton(this, QStringLiteral("Command12"), QStringLiteral("Zapisz"), kLayout.save);
    cancelButton = schedule::addButton(this, QStringLiteral("Command13"), QStringLiteral("Anuluj"), kLayout.cancel);
    connect(cancelButton, &QPushButton::clicked, this, &TimeSlotPage::daysRequested);
    connect(saveButton, &QPushButton::clicked, this, &TimeSlotPage::saveRequested);
}

TimeSlotPage::TimeSlots TimeSlotPage::timeSlots() const {
    TimeSlots entries;
    for (int slot = 0; slot < kSlots; ++slot) {
        hall::WeeklySlot& entry = entries[slot];
        entry.hour = hall::toWindows1250Lossy(hourFields[slot]->text());
        entry.minute = hall::toWindows1250Lossy(minuteFields[slot]->text());
        entry.scenes = schedule::sceneTicks(&sceneBoxes[slot * kScenes]);
    }
    return entries;
}

void TimeSlotPage::setTimeSlots(const TimeSlots& timeSlots) {
    for (int slot = 0; slot < kSlots; ++slot) {
        const hall::WeeklySlot& entry = timeSlots[slot];
        hourFields[slot]->setText(hall::fromWindows1250(entry.hour));
        minuteFields[slot]->setText(hall::fromWindows1250(entry.minute));
        schedule::setSceneTicks(&sceneBoxes[slot * kScenes], entry.scenes);
    }
}

void TimeSlotPage::createHeadings() {
    for (const Caption& caption : kLayout.captions)
        schedule::addLabel(this, QLatin1String(caption.name), QString::fromUtf8(caption.text), caption.at);
    const auto& [x1, y1, x2, y2] = kLayout.rule;
    new hall::Line(x1, y1, x2, y2, this);
}

void TimeSlotPage::createSlot(int slot) {
    const QString where = QStringLiteral(", przedział %1").arg(slot + 1);
    const int fieldTop = kLayout.fieldTops[slot];
    const auto spinBox = [slot](int left, const std::array<int, 8>& tops) {
        return Area{left, tops[slot], kLayout.spinWidth, kLayout.spinHeight};
    };
    // Created left to right, so that Tab walks the slot as it reads.
    hourFields[slot] = schedule::addField(this, QStringLiteral("Text8_%1").arg(slot), QStringLiteral("godzina") + where,
                                          {kLayout.hourLeft, fieldTop, kLayout.fieldWidth, kLayout.fieldHeight});
    hourSpinButtons[slot] =
        addSpin(this, QStringLiteral("SpinButton2_%1").arg(slot), QStringLiteral("zmiana godziny") + where, kHourMin,
                schedule::kHourLimit, spinBox(kLayout.hourSpinLeft, kLayout.hourSpinTops), hourFields[slot]);
    minuteFields[slot] =
        schedule::addField(this, QStringLiteral("Text7_%1").arg(slot), QStringLiteral("minuta") + where,
                           {kLayout.minuteLeft, fieldTop, kLayout.fieldWidth, kLayout.fieldHeight});
    minuteSpinButtons[slot] =
        addSpin(this, QStringLiteral("SpinButton1_%1").arg(slot), QStringLiteral("zmiana minuty") + where, kMinuteMin,
                schedule::kMinuteLimit, spinBox(kLayout.minuteSpinLeft, kLayout.minuteSpinTops), minuteFields[slot]);
    schedule::followTimeFieldRule(hourFields[slot], schedule::kHourLimit);
    schedule::followTimeFieldRule(minuteFields[slot], schedule::kMinuteLimit);

    for (int scene = 0; scene < kScenes; ++scene) {
        const int index = slot * kScenes + scene;
        sceneBoxes[index] = schedule::addSceneBox(this, index, QStringLiteral("scena %1").arg(scene + 1) + where,
                                                  sceneBox(slot, scene));
    }
}
