#pragma once

#include "scene_files.h"

#include <QFrame>

#include <array>

class LampBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace hall {
class Shape;
}

// The scenes page: the lamp boxes of the scene on show, the scenes
// assigned to the 24 keys and the 8 sensor inputs, "Zapisz" and
// "Załącz scenę".
class ScenesPage : public QFrame {
    Q_OBJECT

public:
    explicit ScenesPage(QWidget* parent = nullptr);

    int lampBox(int index) const;
    void setLampBox(int index, int value);
    hall::SceneBoxes sceneBoxes() const;

    // Puts scene file N into the lamp boxes; false when the file could not
    // give every lamp (those it could not give are cleared).
    bool loadScene(int scene);

    // Writes the scene file of `scene`, the key and sensor assignment files
    // and the scene command files of the inputs assigned to `scene`, each
    // whole, going on past a failure. Gives the names it could not write.
    QStringList save(int scene);

    // The scene assigned to sensor input `input` (1 … 8), as its field reads.
    double sensorScene(int input) const;

    // Fills the key fields A1 … F4 and the sensor fields 1 … 8 in order,
    // each through its change rule; a field without a text is emptied.
    void setKeyAssignments(const QStringList& texts);
    void setSensorAssignments(const QStringList& texts);

signals:
    void lampBoxChanged(int index, int value);
    void saveRequested();         // "Zapisz"
    void sceneSwitchRequested();  // "Załącz scenę"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createLampBoxes();
    void createSensorMarks();
    void createKeyFields();
    void createSensorFields();
    QLineEdit* createAssignmentField(const QString& accessibleName, const QRect& geometry);
    void applyChangeRule(QLineEdit* field);
    void applyLeaveRule(QLineEdit* field);
    void markKeyRow(int keyField);
    void fillEmptyWithZero(QLineEdit* field);
    static std::vector<std::string> fieldBytes(const QLineEdit* const* fields, int count);

    std::array<LampBox*, hall::kLampCount> lampBoxes{};
    std::array<QLineEdit*, hall::kKeyCount> keyFields{};
    std::array<QLineEdit*, hall::kSensorCount> sensorFields{};
    hall::Shape* rowMarker = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* sceneSwitchButton = nullptr;
};
