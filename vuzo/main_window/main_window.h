#pragma once

#include "lamp_state.h"

#include <QMainWindow>
#include <QMargins>
#include <QPointer>

#include <array>

class ConfigPage;
class DateSchedulePage;
class LampDetailsWindow;
class AboutWindow;
class QFrame;
class QTabBar;
class ScenesPage;
class StatusPage;
class TimeSlotPage;
class WeeklySchedulePage;
namespace hall {
class ClickableLabel;
}

// The configurator's main window: the page tabs and the six pages, the scene
// selector, the menus, and the procedures that cross pages.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Loads scene file N into the lamp boxes (the click rule runs for every
    // box that changes); a file that cannot give every lamp is reported.
    void loadScene(int scene);
    // Paints lit the lamp buttons of the ticked lamp boxes.
    void paintSceneLamps();
    // Switches every lamp off, on the plan and in the lamp state file.
    void allOff();
    // Switches on exactly the lamps whose boxes are ticked.
    void sceneSwitch();

    int selectedScene() const;

    // Sizes the client so that, with this frame of the window manager around
    // it, the window has its outer size; a frame already applied changes nothing.
    void fitFrame(const QMargins& frame);

    // The state lamp box `index` had when last loaded or clicked.
    qint16 lampFlag(int index) const { return lampFlags[index]; }
    void setLampFlag(int index, qint16 flag) { lampFlags[index] = flag; }

public slots:
    void switchToTab(int tab);  // 1 "Status" … 4 "Harmonogram"
    void showAbout();
    void showLampDetails(int index);
    void sensorKey(int digit);
    void save();
    void saveDelay();
    void saveWeekly();
    void saveDated();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void reportStartupProblems();

private:
    void createMenus();
    void createTabStrips();
    void createPages();
    void startUp();
    void loadAssignments();
    void loadSchedules();
    void showView(int id);  // a row of main_window.cpp's view table
    void onLampBoxChanged(int index, int value);
    void onSceneTabChosen(int index);
    hall::Status writeLampStates(const hall::LampStates& states);
    void reportUnwritten(const QStringList& files);
    void reportUnwrittenUnless(const hall::Status& written, const std::filesystem::path& file);

    QTabBar* sceneTabs = nullptr;
    QTabBar* pageTabs = nullptr;
    hall::ClickableLabel* vendorLink = nullptr;
    StatusPage* statusPage = nullptr;
    ScenesPage* scenesPage = nullptr;
    ConfigPage* configPage = nullptr;
    WeeklySchedulePage* weeklyPage = nullptr;
    DateSchedulePage* datePage = nullptr;
    TimeSlotPage* timeSlotPage = nullptr;
    std::array<QFrame*, 6> frames_{};  // Frame1 … Frame6
    // The state each lamp box had when last loaded or clicked; 0 … 107 used.
    std::array<qint16, 151> lampFlags{};
    QPointer<LampDetailsWindow> lampDetailsWindow_;
    QPointer<AboutWindow> aboutWindow_;
    QStringList startupProblems_;
    QMargins appliedFrame_;  // none until the window manager frames the window
    bool shownOnce_ = false;
};
