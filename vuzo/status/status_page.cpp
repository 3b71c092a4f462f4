#include "status_page.h"

#include "colour_button.h"
#include "controls.h"
#include "fonts.h"
#include "lamp_colours.h"
#include "page_frame.h"
#include "shape.h"
#include "twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using hall::twipsRect;

namespace {

// The plan, in twips: row tops and the lefts of columns 0 to 8 of each row.
constexpr int kLampWidth = 540;
constexpr int kLampHeight = 300;
struct PlanRow {
    int top;
    std::array<int, 9> lefts;
};
constexpr std::array<PlanRow, 12> kPlan = {{
    {285, {105, 845, 1585, 2325, 3065, 3805, 4545, 5285, 6030}},
    {660, {90, 832, 1574, 2316, 3058, 3800, 4542, 5284, 6030}},
    {1020, {105, 843, 1581, 2319, 3057, 3795, 4533, 5271, 6015}},
    {1365, {90, 830, 1570, 2310, 3050, 3790, 4530, 5270, 6015}},
    {1725, {90, 828, 1566, 2304, 3042, 3780, 4518, 5256, 6000}},
    {2085, {105, 840, 1575, 2310, 3045, 3780, 4515, 5250, 6000}},
    {2445, {105, 841, 1577, 2313, 3049, 3785, 4521, 5257, 6000}},
    {2820, {105, 840, 1575, 2310, 3045, 3780, 4515, 5250, 5985}},
    {3195, {120, 851, 1582, 2313, 3044, 3775, 4506, 5237, 5970}},
    {3570, {120, 855, 1590, 2325, 3045, 3780, 4515, 5250, 5985}},
    {3945, {120, 855, 1590, 2325, 3045, 3780, 4515, 5250, 5985}},
    {4320, {120, 853, 1586, 2319, 3052, 3785, 4518, 5251, 5985}},
}};

// Sensor labels C1 … C8 (195 × 210); each mark sits centred just above.
struct Point {
    int left, top;
};
constexpr std::array<Point, 8> kSensorLabels = {
    {{1380, 645}, {1380, 2925}, {2100, 3660}, {2115, 1425}, {4335, 1455}, {5820, 1455}, {4290, 3660}, {5760, 3645}}};
constexpr int kSensorLabelWidth = 195;
constexpr int kSensorLabelHeight = 210;
constexpr int kMarkSide = 105;
constexpr int kMarkLeftOffset = 45;
constexpr int kMarkAbove = 120;
constexpr Point kLegendMark{525, 5880};
const QColor kMarkCreated(0, 128, 0);

struct LegendEntry {
    const char* name;
    int top;
    QColor colour;
    const char* text;
};
const std::array<LegendEntry, 3> kLegend = {{
    {"Command9", 4935, QColor(255, 255, 0), "- oznacza lampę pracującą"},
    {"Command10", 5205, QColor(224, 224, 224), "- oznacza lampę wyłączoną"},
    {"Command11", 5490, QColor(255, 0, 0), "- oznacza awarię"},
}};

ColourButton* lampStyleButton(const QString& caption, const QRect& geometry, QWidget* parent) {
    auto* button = new ColourButton(caption, parent);
    button->setGeometry(geometry);
    button->setFont(hall::timesNewRoman(8.25, true));
    return button;
}

}  // namespace

StatusPage::StatusPage(QWidget* parent) : QFrame(parent) {
    hall::setUpPage(this, "Frame5", 6615, 6360);
    QLabel* title = hall::placeLabel(QStringLiteral("STAN PRACY LAMP"), twipsRect(1485, -30, 3030, 360), this);
    title->setObjectName(QStringLiteral("Label44"));
    // A caption over the frame line, as on a group box: the line stops at it.
    title->setAutoFillBackground(true);
    title->setFont(hall::msSansSerif(13.5, true, true));
    createLampPlan();
    createSensorMarks();
    createLegend();

    allOffButton =
        hall::placeButton("Command15", QStringLiteral("Wyłącz oświetlenie"), twipsRect(4305, 4935, 2085, 435), this);
    connect(allOffButton, &QPushButton::clicked, this, &StatusPage::allOffRequested);

    statusTimer = new QTimer(this);
    statusTimer->setObjectName(QStringLiteral("Timer1"));
    statusTimer->setInterval(1000);
    connect(statusTimer, &QTimer::timeout, this, &StatusPage::statusTick);
    statusTimer->start();
}

void StatusPage::createLampPlan() {
    for (int i = 0; i < hall::kLampCount; ++i) {
        const PlanRow& row = kPlan[i / 9];
        ColourButton* button = lampStyleButton(QStringLiteral("Command8"),
                                               twipsRect(row.lefts[i % 9], row.top, kLampWidth, kLampHeight), this);
        button->setObjectName(QStringLiteral("Command8_%1").arg(i));
        button->setColour(kLampOff);
        connect(button, &QPushButton::clicked, this, [this, i] { emit lampClicked(i); });
        lampButtons[i] = button;
    }
}

void StatusPage::createSensorMarks() {
    for (int k = 0; k < hall::kSensorCount; ++k) {
        const Point at = kSensorLabels[k];
        sensorMarkLabels[k] = hall::placeLabel(QStringLiteral("C%1").arg(k + 1),
                                               twipsRect(at.left, at.top, kSensorLabelWidth, kSensorLabelHeight), this);
        sensorMarkLabels[k]->setObjectName(QStringLiteral("Label43_%1").arg(k));
        sensorMarkLabels[k]->setFont(hall::timesNewRoman(8.25));
    }
    for (int k = 0; k < kSensorMarks; ++k) {
        const Point at = k < hall::kSensorCount
                             ? Point{kSensorLabels[k].left + kMarkLeftOffset, kSensorLabels[k].top - kMarkAbove}
                             : kLegendMark;
        sensorMarks[k] = new hall::Shape(hall::Shape::Kind::Circle, this);
        sensorMarks[k]->setObjectName(QStringLiteral("Shape1_%1").arg(k));
        sensorMarks[k]->setGeometry(twipsRect(at.left, at.top, kMarkSide, kMarkSide));
        sensorMarks[k]->setFillColor(kMarkCreated);
        if (k < hall::kSensorCount) sensorMarks[k]->setAccessibleName(QStringLiteral("czujnik %1").arg(k + 1));
    }
}

void StatusPage::createLegend() {
    std::array<ColourButton*, 3> buttons{};
    for (std::size_t n = 0; n < kLegend.size(); ++n) {
        const LegendEntry& entry = kLegend[n];
        buttons[n] = lampStyleButton(QStringLiteral("LXXX"), twipsRect(480, entry.top, 510, 255), this);
        buttons[n]->setObjectName(QLatin1String(entry.name));
        buttons[n]->setColour(entry.colour);
        hall::placeLabel(QString::fromUtf8(entry.text), twipsRect(1260, entry.top, 2205, 315), this);
    }
    sensorKeyButton = buttons[0];
    offLegendButton = buttons[1];
    failureLegendButton = buttons[2];
    sensorKeyButton->installEventFilter(this);
    hall::placeLabel(QStringLiteral("C1-C8"), twipsRect(675, 5835, 555, 210), this)->setFont(hall::timesNewRoman(8.25));
    hall::placeLabel(QStringLiteral("- oznacza czujniki ruchu"), twipsRect(1260, 5835, 2205, 315), this);
}

void StatusPage::numberLampButtons() {
    for (int i = 0; i < hall::kLampCount; ++i) lampButtons[i]->setText(QStringLiteral("L%1").arg(i + 1));
}

void StatusPage::setLampColour(int index, const QColor& colour) { lampButtons[index]->setColour(colour); }

QColor StatusPage::lampColour(int index) const { return lampButtons[index]->colour(); }

void StatusPage::showLamps(const hall::LampsLit& lit) {
    for (int i = 0; i < hall::kLampCount; ++i) setLampColour(i, ::lampColour(lit[i]));
}

void StatusPage::setSensorMarkColour(int mark, const QColor& colour) { sensorMarks[mark]->setFillColor(colour); }

QColor StatusPage::sensorMarkColour(int mark) const { return sensorMarks[mark]->fillColor(); }

void StatusPage::statusTick() {
    if (const hall::os::SysResult<hall::LampsLit> lit = hall::ReadStateFile()) showLamps(*lit);
}

bool StatusPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sensorKeyButton && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1 && text.at(0).isDigit() && text.at(0).unicode() < 128) {
            emit sensorKeyTyped(text.at(0).digitValue());
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}
