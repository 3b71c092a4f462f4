#include "main_window.h"

#include "about_window.h"
#include "browser.h"
#include "clickable_label.h"
#include "config_page.h"
#include "controls.h"
#include "date_schedule_page.h"
#include "fonts.h"
#include "lamp_colours.h"
#include "lamp_details_window.h"
#include "main_window_layout.h"
#include "message_box.h"
#include "scene_files.h"
#include "scenes_page.h"
#include "schedule_files.h"
#include "status_page.h"
#include "tab_strip.h"
#include "text_number.h"
#include "time_slot_page.h"
#include "twips.h"
#include "weekly_schedule_page.h"
#include "windows1250.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabBar>
#include <QTimer>
#include <QWindow>

#include <initializer_list>

using namespace main_window_layout;
using hall::twips;
using hall::twipsRect;

namespace {

const QString kTitle = QStringLiteral("KONFIGURATOR OŚWIETLENIA  HALI     >< VELTRONA><");
const QColor kSensorTriggered(200, 250, 100);
const QColor kSensorCleared(20, 100, 10);

QRect boxRect(const Box& box) { return twipsRect(box.left, box.top, box.width, box.height); }

// What the page tab strip's body shows: frame N ("FrameN") and the scene tabs
// or not. Each view keeps its own frames to hide, in its own order; only the
// frame being left is ever visible, so every list that holds it looks alike.
enum ViewId { kStatusView, kConfigView, kScenesView, kWeeklyView, kTimeSlotsView, kDatesView, kBackFromDatesView };
struct View {
    int tab;  // 1 "Status" … 4 "Harmonogram"; 0 for a view a page's button opens
    int shown;
    std::array<int, 5> hidden;  // 0: none
    bool sceneTabs;
};
constexpr std::array<View, 7> kViews = {{
    {1, 5, {1, 2, 3, 4, 6}, false},  // also at start-up
    {2, 2, {1, 3, 4, 5, 6}, false},
    {3, 1, {2, 3, 4, 5, 6}, true},
    {4, 3, {1, 2, 4, 5, 6}, false},  // also "Anuluj" of the time slots
    {0, 6, {1, 2, 4, 3, 5}, false},  // "Dalej "
    {0, 4, {1, 2, 3, 5}, false},     // "Harmonogram szczególny"
    {0, 3, {1, 2, 4, 5}, false},     // "Anuluj" of the dates
}};
static_assert(kViews.size() == kBackFromDatesView + 1);

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    Q_INIT_RESOURCE(vuzo);  // the artwork lives in this static library
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitle);
    setFont(hall::msSansSerif());
    setCentralWidget(new QWidget(this));
    centralWidget()->setObjectName(QStringLiteral("client"));
    createMenus();
    createTabStrips();
    createPages();
    hall::fitLabels(this);
    startUp();
}

void MainWindow::createMenus() {
    struct Item {
        const char* name;
        const char* caption;
        void (MainWindow::*action)();
    };
    struct Menu {
        const char* name;
        const char* caption;
        std::initializer_list<Item> items;
    };
    // "zapisz", "połącz" and "koniguracja połączenia" have no action.
    const std::initializer_list<Menu> menus = {
        {"file", "plik", {{"save", "zapisz", nullptr}}},
        {"opction", "opcje", {{"connect", "połącz", nullptr}, {"config", "koniguracja połączenia", nullptr}}},
        {"pomoc", "Pomoc", {{"o", "o programie", &MainWindow::showAbout}, {"help", "Pomoc", nullptr}}},
    };
    for (const Menu& m : menus) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.caption));
        menu->setObjectName(QLatin1String(m.name));
        for (const Item& item : m.items) {
            QAction* action = menu->addAction(QString::fromUtf8(item.caption));
            action->setObjectName(QLatin1String(item.name));
            if (item.action) connect(action, &QAction::triggered, this, item.action);
        }
    }
    connect(findChild<QAction*>(QStringLiteral("help")), &QAction::triggered, this, &openHelpPage);
}

void MainWindow::createTabStrips() {
    QWidget* client = centralWidget();
    // The page tab strip: its tabs, and the body the pages lie on.
    auto* body = new QFrame(client);
    body->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    pageTabs = new TabStrip(client);
    pageTabs->setObjectName(QStringLiteral("TabStrip2"));
    pageTabs->setDrawBase(false);
    for (const char* caption : {"Status", "Konfiguracja", "Sceny", "Harmonogram"})
        pageTabs->addTab(QString::fromUtf8(caption));
    const QRect strip = boxRect(kPageTabs);
    const int tabHeight = pageTabs->sizeHint().height();
    pageTabs->setGeometry(strip.left(), strip.top(), strip.width(), tabHeight);
    body->setGeometry(strip.adjusted(0, tabHeight - 1, 0, 0));
    connect(pageTabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == pageTabs->currentIndex()) switchToTab(index + 1);  // a change comes by currentChanged
    });
    connect(pageTabs, &QTabBar::currentChanged, this, [this](int index) { switchToTab(index + 1); });

    sceneTabs = new TabStrip(client);
    sceneTabs->setObjectName(QStringLiteral("TabStrip1"));
    sceneTabs->setFont(hall::msSansSerif(7.5));
    sceneTabs->setExpanding(false);
    for (int n = 1; n <= hall::kSceneCount; ++n) sceneTabs->addTab(QStringLiteral("Scena %1").arg(n));
    sceneTabs->setGeometry(boxRect(kSceneTabs));
    connect(sceneTabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == sceneTabs->currentIndex()) onSceneTabChosen(index);
    });
    connect(sceneTabs, &QTabBar::currentChanged, this, &MainWindow::onSceneTabChosen);

    vendorLink = new hall::ClickableLabel(QStringLiteral("VELTRONA"), client);
    vendorLink->setObjectName(QStringLiteral("Label42"));
    vendorLink->setGeometry(boxRect(kVendorLink));
    vendorLink->setFont(hall::msSansSerif(12, true));
    QPalette red = vendorLink->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    vendorLink->setPalette(red);
    vendorLink->setCursor(Qt::PointingHandCursor);
    connect(vendorLink, &hall::ClickableLabel::clicked, this, &openVendorPage);
}

void MainWindow::createPages() {
    QWidget* client = centralWidget();
    statusPage = new StatusPage(client);
    scenesPage = new ScenesPage(client);
    configPage = new ConfigPage(client);
    weeklyPage = new WeeklySchedulePage(client);
    datePage = new DateSchedulePage(client);
    timeSlotPage = new TimeSlotPage(client);
    frames_ = {scenesPage, configPage, weeklyPage, datePage, statusPage, timeSlotPage};

    connect(statusPage, &StatusPage::lampClicked, this, &MainWindow::showLampDetails);
    connect(statusPage, &StatusPage::allOffRequested, this, &MainWindow::allOff);
    connect(statusPage, &StatusPage::sensorKeyTyped, this, &MainWindow::sensorKey);
    connect(scenesPage, &ScenesPage::lampBoxChanged, this, &MainWindow::onLampBoxChanged);
    connect(scenesPage, &ScenesPage::saveRequested, this, &MainWindow::save);
    connect(scenesPage, &ScenesPage::sceneSwitchRequested, this, &MainWindow::sceneSwitch);
    connect(weeklyPage, &WeeklySchedulePage::timeSlotsRequested, this, [this] { showView(kTimeSlotsView); });
    connect(weeklyPage, &WeeklySchedulePage::dateScheduleRequested, this, [this] { showView(kDatesView); });
    connect(timeSlotPage, &TimeSlotPage::daysRequested, this, [this] { showView(kWeeklyView); });
    connect(datePage, &DateSchedulePage::daysRequested, this, [this] { showView(kBackFromDatesView); });
    connect(configPage, &ConfigPage::saveRequested, this, &MainWindow::saveDelay);
    connect(weeklyPage, &WeeklySchedulePage::saveRequested, this, &MainWindow::saveWeekly);
    connect(timeSlotPage, &TimeSlotPage::saveRequested, this, &MainWindow::saveWeekly);
    connect(datePage, &DateSchedulePage::saveRequested, this, &MainWindow::saveDated);
}

void MainWindow::startUp() {
    statusPage->numberLampButtons();
    showView(kStatusView);

    const std::filesystem::path firstScene = hall::SceneFilePath(1);
    if (!scenesPage->loadScene(1)) startupProblems_ << hall::fileNameInMessage(firstScene);
    if (selectedScene() == 1)
        for (int i = 0; i < hall::kLampCount; ++i) lampFlags[i] = qint16(scenesPage->lampBox(i));

    resize(twips(kOuterWidth), twips(kOuterHeight));
    loadAssignments();
    loadSchedules();

    // The plan shows only what the lamp state file says: without it, no lamp
    // is lit, whatever loading scene 1 painted.
    const hall::os::SysResult<hall::LampsLit> lit = hall::ReadStateFile();
    statusPage->showLamps(lit.value_or(hall::LampsLit{}));
    if (!lit) startupProblems_ << hall::fileNameInMessage(hall::kStateFilePath);
}

void MainWindow::loadAssignments() {
    const auto read = [this](const std::filesystem::path& file, int count) {
        const hall::AssignmentRead read = hall::ReadAssignmentFile(file, count);
        QStringList texts;
        for (int k = 0; k < count; ++k) texts << hall::fromWindows1250(read.fields[k]);
        if (!read.complete) startupProblems_ << hall::fileNameInMessage(file);
        return texts;
    };
    scenesPage->setKeyAssignments(read(hall::kKeyFilePath, hall::kKeyCount));
    scenesPage->setSensorAssignments(read(hall::kSensorFilePath, hall::kSensorCount));
}

// A new hall has no schedule files: only one that exists and cannot be read
// is a problem.
void MainWindow::loadSchedules() {
    const auto note = [this](hall::FileState state, const std::filesystem::path& file) {
        if (state == hall::FileState::Unreadable) startupProblems_ << hall::fileNameInMessage(file);
    };
    const hall::DelayRead delay = hall::ReadDelayFile();
    note(delay.state, hall::kDelayFilePath);
    configPage->setDelay(hall::fromWindows1250(delay.text));
    const hall::WeeklyRead weekly = hall::ReadWeeklyFile();
    note(weekly.state, hall::kWeeklyFilePath);
    weeklyPage->setDays(weekly.schedule.days);
    timeSlotPage->setTimeSlots(weekly.schedule.timeSlots);
    const hall::DatedRead dated = hall::ReadDatedFile();
    note(dated.state, hall::kDatedFilePath);
    datePage->setRows(dated.rows);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    if (!startupProblems_.isEmpty()) QTimer::singleShot(0, this, &MainWindow::reportStartupProblems);
}

// The window manager frames the window only after it is shown, and may change
// the frame later (a new theme, another window manager). Under X11, Qt tells
// of a new frame only by the move or the change of the active window that
// comes with it.
bool MainWindow::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    const QEvent::Type type = event->type();
    if ((type == QEvent::Move || type == QEvent::ActivationChange) && windowHandle())
        fitFrame(windowHandle()->frameMargins());
    return handled;
}

// Resizing only when the frame differs from the one applied keeps the
// window from creeping, and leaves the operator's own resizing alone. A
// maximized or minimized window has the window manager's size.
void MainWindow::fitFrame(const QMargins& frame) {
    const Qt::WindowStates managed = Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized;
    if (frame == appliedFrame_ || (windowState() & managed)) return;
    appliedFrame_ = frame;
    resize(twips(kOuterWidth) - frame.left() - frame.right(), twips(kOuterHeight) - frame.top() - frame.bottom());
}

void MainWindow::reportStartupProblems() {
    const QStringList problems = std::exchange(startupProblems_, {});
    if (!problems.isEmpty()) hall::showMessage(this, hall::unreadFilesMessage(problems));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program with all its windows.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible()) window->close();
    event->accept();
    QCoreApplication::quit();
}

void MainWindow::showView(int id) {
    const View& view = kViews[id];
    sceneTabs->setEnabled(view.sceneTabs);
    sceneTabs->setVisible(view.sceneTabs);
    QFrame* shown = frames_[view.shown - 1];
    shown->move(twips(kPageLeft), twips(kPageTop));
    shown->setVisible(true);
    for (int frame : view.hidden)
        if (frame != 0) frames_[frame - 1]->setVisible(false);
}

void MainWindow::switchToTab(int tab) {
    if (tab == 0) return;  // 0 marks the views no tab shows
    for (std::size_t id = 0; id < kViews.size(); ++id)
        if (kViews[id].tab == tab) return showView(int(id));
}

int MainWindow::selectedScene() const { return sceneTabs->currentIndex() + 1; }

void MainWindow::onSceneTabChosen(int index) { loadScene(index + 1); }

void MainWindow::loadScene(int scene) {
    if (!scenesPage->loadScene(scene))
        hall::showMessage(this, hall::unreadFilesMessage({hall::fileNameInMessage(hall::SceneFilePath(scene))}));
}

void MainWindow::onLampBoxChanged(int index, int value) {
    lampFlags[index] = qint16(value);
    statusPage->setLampColour(index, kLampLit);
}

void MainWindow::paintSceneLamps() {
    for (int i = 0; i < hall::kLampCount; ++i)
        if (scenesPage->lampBox(i) == 1) statusPage->setLampColour(i, kLampLit);
}

hall::Status MainWindow::writeLampStates(const hall::LampStates& states) {
    for (int i = 0; i < hall::kLampCount; ++i) statusPage->setLampColour(i, lampColour(states[i] == hall::kStateOn));
    return hall::WriteStateFile(states);
}

void MainWindow::reportUnwritten(const QStringList& files) {
    if (!files.isEmpty()) hall::showMessage(this, hall::unwrittenFilesMessage(files));
}

void MainWindow::reportUnwrittenUnless(const hall::Status& written, const std::filesystem::path& file) {
    if (!written) reportUnwritten({hall::fileNameInMessage(file)});
}

void MainWindow::allOff() { reportUnwrittenUnless(writeLampStates(hall::AllOffStates()), hall::kStateFilePath); }

void MainWindow::sceneSwitch() {
    reportUnwrittenUnless(writeLampStates(hall::SceneStates(scenesPage->sceneBoxes())), hall::kStateFilePath);
}

void MainWindow::save() { reportUnwritten(scenesPage->save(selectedScene())); }

void MainWindow::saveDelay() {
    const std::string delay = hall::toWindows1250Lossy(configPage->delay());
    reportUnwrittenUnless(hall::WriteDelayFile(delay), hall::kDelayFilePath);
}

// The weekly schedule is the day boxes and the time slots together, whichever
// of its two pages says "Zapisz".
void MainWindow::saveWeekly() {
    const hall::WeeklySchedule schedule{weeklyPage->days(), timeSlotPage->timeSlots()};
    reportUnwrittenUnless(hall::WriteWeeklyFile(schedule), hall::kWeeklyFilePath);
}

void MainWindow::saveDated() { reportUnwrittenUnless(hall::WriteDatedFile(datePage->rows()), hall::kDatedFilePath); }

void MainWindow::sensorKey(int digit) {
    if (digit == 0) {
        // Every mark cleared and all lighting off; one all-off leaves the
        // same plan and file as one per mark.
        for (int k = 0; k < hall::kSensorCount; ++k) statusPage->setSensorMarkColour(k, kSensorCleared);
        allOff();
        return;
    }
    if (digit > hall::kSensorCount) return;
    statusPage->setSensorMarkColour(digit - 1, kSensorTriggered);
    // An input without a scene triggers its mark and lights nothing.
    const double scene = hall::RoundHalfEven(scenesPage->sensorScene(digit));
    if (scene < 1 || scene > hall::kSceneCount) return;
    loadScene(int(scene));
    paintSceneLamps();
}

void MainWindow::showLampDetails(int index) {
    if (!lampDetailsWindow_) lampDetailsWindow_ = new LampDetailsWindow(this);
    lampDetailsWindow_->showLamp(index, lampFlags[index]);
}

void MainWindow::showAbout() {
    if (!aboutWindow_) {
        aboutWindow_ = new AboutWindow(this);
        aboutWindow_->setAttribute(Qt::WA_DeleteOnClose);
        connect(aboutWindow_, &AboutWindow::vendorPageRequested, this, &openVendorPage);
    }
    aboutWindow_->show();
    aboutWindow_->raise();
    aboutWindow_->activateWindow();
}
