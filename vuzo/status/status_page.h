#pragma once

#include "lamp_state.h"
#include "scene_files.h"

#include <QFrame>

#include <array>

class ColourButton;
class QLabel;
class QPushButton;
class QTimer;
namespace hall {
class Shape;
}

// The status page: the plan of the 108 lamps, coloured from the lamp
// state file every second, the legend with the sensor simulation keys, the
// sensor marks and the all-off button.
class StatusPage : public QFrame {
    Q_OBJECT

public:
    static constexpr int kSensorMarks = 9;  // C1 … C8 and the legend's mark

    explicit StatusPage(QWidget* parent = nullptr);

    // Captions L1 … L108, whatever the buttons were created with.
    void numberLampButtons();
    void setLampColour(int index, const QColor& colour);
    QColor lampColour(int index) const;
    void showLamps(const hall::LampsLit& lit);
    void setSensorMarkColour(int mark, const QColor& colour);
    QColor sensorMarkColour(int mark) const;

public slots:
    // One tick of statusTimer: the plan follows the lamp state file; a file that
    // cannot be read whole keeps the last colours.
    void statusTick();

signals:
    void lampClicked(int index);
    void allOffRequested();          // "Wyłącz oświetlenie"
    void sensorKeyTyped(int digit);  // a digit typed on the yellow legend button

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createLampPlan();
    void createSensorMarks();
    void createLegend();

    std::array<ColourButton*, hall::kLampCount> lampButtons{};
    std::array<hall::Shape*, kSensorMarks> sensorMarks{};
    std::array<QLabel*, hall::kSensorCount> sensorMarkLabels{};
    QPushButton* sensorKeyButton = nullptr;
    QPushButton* offLegendButton = nullptr;
    QPushButton* failureLegendButton = nullptr;
    QPushButton* allOffButton = nullptr;
    QTimer* statusTimer = nullptr;
};
