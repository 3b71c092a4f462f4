#include "form1.h"

#include "browser.h"
#include "clickable_label.h"
#include "config_page.h"
#include "date_schedule_page.h"
#include "fonts.h"
#include "form1_layout.h"
#include "form3.h"
#include "form4.h"
#include "lamp_colours.h"
#include "message_box.h"
#include "scene_files.h"
#include "scenes_page.h"
#include "status_page.h"
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

using namespace form1_layout;
using hall::twips;
using hall::twipsRect;

namespace {

const QString kTitle = QStringLiteral("KONFIGURATOR OŚWIETLENIA  HALI     >< VELTRONA><");
const QColor kSensorTriggered(200, 250, 100);
const QColor kSensorCleared(20, 100, 10);

QRect boxRect(const Box& box) { return twipsRect(box.left, box.top, box.width, box.height); }

}  // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    Q_INIT_RESOURCE(vuzo);  // the artwork lives in this static library
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitle);
    setFont(hall::msSansSerif());
    setCentralWidget(new QWidget(this));
    centralWidget()->setObjectName(QStringLiteral("client"));
    createMenus();
    createTabStrips();
    createPages();
    startUp();
}

void Form1::createMenus() {
    struct Item {
        const char* name;
        const char* caption;
        void (Form1::*action)();
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
        {"pomoc", "Pomoc", {{"o", "o programie", &Form1::showAbout}, {"help", "Pomoc", nullptr}}},
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

void Form1::createTabStrips() {
    QWidget* client = centralWidget();
    // The page tab strip: its tabs, and the body the pages lie on.
    auto* body = new QFrame(client);
    body->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    TabStrip2 = new QTabBar(client);
    TabStrip2->setObjectName(QStringLiteral("TabStrip2"));
    TabStrip2->setDrawBase(false);
    for (const char* caption : {"Status", "Konfiguracja", "Sceny", "Harmonogram"})
        TabStrip2->addTab(QString::fromUtf8(caption));
    const QRect strip = boxRect(kPageTabs);
    const int tabHeight = TabStrip2->sizeHint().height();
    TabStrip2->setGeometry(strip.left(), strip.top(), strip.width(), tabHeight);
    body->setGeometry(strip.adjusted(0, tabHeight - 1, 0, 0));
    connect(TabStrip2, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == TabStrip2->currentIndex()) switchToTab(index + 1);  // a change comes by currentChanged
    });
    connect(TabStrip2, &QTabBar::currentChanged, this, [this](int index) { switchToTab(index + 1); });

    TabStrip1 = new QTabBar(client);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->setFont(hall::msSansSerif(7.5));
    TabStrip1->setExpanding(false);
    for (int n = 1; n <= hall::kSceneCount; ++n) TabStrip1->addTab(QStringLiteral("Scena %1").arg(n));
    TabStrip1->setGeometry(boxRect(kSceneTabs));
    connect(TabStrip1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == TabStrip1->currentIndex()) onSceneTabChosen(index);
    });
    connect(TabStrip1, &QTabBar::currentChanged, this, &Form1::onSceneTabChosen);

    Label42 = new hall::ClickableLabel(QStringLiteral("VELTRONA"), client);
    Label42->setObjectName(QStringLiteral("Label42"));
    Label42->setGeometry(boxRect(kVendorLink));
    Label42->setFont(hall::msSansSerif(12, true));
    QPalette red = Label42->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    Label42->setPalette(red);
    Label42->setCursor(Qt::PointingHandCursor);
    connect(Label42, &hall::ClickableLabel::clicked, this, &openVendorPage);
}

void Form1::createPages() {
    QWidget* client = centralWidget();
    Frame5 = new StatusPage(client);
    Frame1 = new ScenesPage(client);
    Frame2 = new ConfigPage(client);
    Frame3 = new WeeklySchedulePage(client);
    Frame4 = new DateSchedulePage(client);
    Frame6 = new TimeSlotPage(client);

    connect(Frame5, &StatusPage::lampClicked, this, &Form1::showLampDetails);
    connect(Frame5, &StatusPage::allOffRequested, this, &Form1::allOff);
    connect(Frame5, &StatusPage::sensorKeyTyped, this, &Form1::sensorKey);
    connect(Frame1, &ScenesPage::lampBoxChanged, this, &Form1::onLampBoxChanged);
    connect(Frame1, &ScenesPage::saveRequested, this, &Form1::save);
    connect(Frame1, &ScenesPage::sceneSwitchRequested, this, &Form1::sceneSwitch);
    connect(Frame3, &WeeklySchedulePage::timeSlotsRequested, this, [this] {
        showPage(Frame6, {Frame1, Frame2, Frame4, Frame3, Frame5});
    });
    connect(Frame3, &WeeklySchedulePage::dateScheduleRequested, this, [this] {
        showPage(Frame4, {Frame1, Frame2, Frame3, Frame5});
    });
    connect(Frame6, &TimeSlotPage::daysRequested, this, [this] {
        showPage(Frame3, {Frame1, Frame2, Frame4, Frame5, Frame6});
    });
    connect(Frame4, &DateSchedulePage::daysRequested, this, [this] {
        showPage(Frame3, {Frame1, Frame2, Frame4, Frame5});
    });
}

void Form1::startUp() {
    Frame5->numberLampButtons();
    TabStrip1->setEnabled(false);
    TabStrip1->hide();
    showPage(Frame5, {Frame1, Frame2, Frame3, Frame4, Frame6});

    const std::filesystem::path firstScene = hall::SceneFilePath(1);
    if (!Frame1->loadScene(1)) startupProblems_ << hall::fileNameInMessage(firstScene);
    if (selectedScene() == 1)
        for (int i = 0; i < hall::kLampCount; ++i) lampFlags[i] = qint16(Frame1->lampBox(i));

    resize(twips(kOuterWidth), twips(kOuterHeight));
    loadAssignments();

    if (const std::optional<hall::LampsLit> lit = hall::ReadStateFile())
        Frame5->showLamps(*lit);
    else
        startupProblems_ << hall::fileNameInMessage(hall::kStateFilePath);
}

void Form1::loadAssignments() {
    const auto fill = [this](const std::filesystem::path& file, auto& fields) {
        const hall::AssignmentRead read = hall::ReadAssignmentFile(file, int(fields.size()));
        for (std::size_t k = 0; k < fields.size(); ++k) fields[k]->setText(hall::fromWindows1250(read.fields[k]));
        if (!read.complete) startupProblems_ << hall::fileNameInMessage(file);
    };
    fill(hall::kKeyFilePath, Frame1->Text9);
    fill(hall::kSensorFilePath, Frame1->Text10);
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    QTimer::singleShot(0, this, &Form1::fitOuterSize);
    if (!startupProblems_.isEmpty()) QTimer::singleShot(0, this, &Form1::reportStartupProblems);
}

// The outer size counts the window system's frame, known only once shown.
void Form1::fitOuterSize() {
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    resize(twips(kOuterWidth) - frame.left() - frame.right(), twips(kOuterHeight) - frame.top() - frame.bottom());
}

void Form1::reportStartupProblems() {
    const QStringList problems = std::exchange(startupProblems_, {});
    if (!problems.isEmpty())
        hall::showMessage(this,
                          QStringLiteral("Nie udało się odczytać plików: ") + problems.join(QStringLiteral(", ")));
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program with all its windows.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible()) window->close();
    event->accept();
    QCoreApplication::quit();
}

void Form1::showPage(QFrame* page, std::initializer_list<QFrame*> hidden) {
    page->move(twips(kPageLeft), twips(kPageTop));
    page->setVisible(true);
    for (QFrame* other : hidden) other->setVisible(false);
}

void Form1::switchToTab(int tab) {
    if (tab < 1 || tab > 4) return;
    const bool scenes = tab == 3;
    TabStrip1->setEnabled(scenes);
    TabStrip1->setVisible(scenes);
    const std::array<QFrame*, 4> tabPages = {Frame5, Frame2, Frame1, Frame3};
    QFrame* shown = tabPages[tab - 1];
    showPage(shown, {});
    for (QFrame* frame : std::initializer_list<QFrame*>{Frame1, Frame2, Frame3, Frame4, Frame5, Frame6})
        if (frame != shown) frame->setVisible(false);
}

int Form1::selectedScene() const { return TabStrip1->currentIndex() + 1; }

void Form1::onSceneTabChosen(int index) { odczyt_tab(index + 1); }

void Form1::odczyt_tab(int scene) {
    if (!Frame1->loadScene(scene))
        hall::showMessage(this, QStringLiteral("Nie udało się odczytać pliku: ") +
                                    hall::fileNameInMessage(hall::SceneFilePath(scene)));
}

void Form1::onLampBoxChanged(int index, int value) {
    lampFlags[index] = qint16(value);
    Frame5->setLampColour(index, kLampLit);
}

void Form1::mark_scene_lamps() {
    for (int i = 0; i < hall::kLampCount; ++i)
        if (Frame1->lampBox(i) == 1) Frame5->setLampColour(i, kLampLit);
}

bool Form1::writeLampStates(const hall::LampStates& states) {
    for (int i = 0; i < hall::kLampCount; ++i) Frame5->setLampColour(i, lampColour(states[i] == hall::kStateOn));
    return hall::WriteStateFile(states);
}

void Form1::reportUnwritten(const QStringList& files) {
    if (!files.isEmpty())
        hall::showMessage(this, QStringLiteral("Nie udało się zapisać plików: ") + files.join(QStringLiteral(", ")));
}

void Form1::allOff() {
    if (!writeLampStates(hall::AllOffStates())) reportUnwritten({hall::fileNameInMessage(hall::kStateFilePath)});
}

void Form1::sceneSwitch() {
    if (!writeLampStates(hall::SceneStates(Frame1->lampBoxes())))
        reportUnwritten({hall::fileNameInMessage(hall::kStateFilePath)});
}

void Form1::save() { reportUnwritten(Frame1->save(selectedScene())); }

void Form1::sensorKey(int digit) {
    if (digit == 0) {
        // Every mark cleared and all lighting off; one all-off leaves the
        // same plan and file as one per mark.
        for (int k = 0; k < hall::kSensorCount; ++k) Frame5->setSensorMarkColour(k, kSensorCleared);
        allOff();
        return;
    }
    if (digit > hall::kSensorCount) return;
    Frame5->setSensorMarkColour(digit - 1, kSensorTriggered);
    // An input without a scene triggers its mark and lights nothing.
    const double scene = hall::RoundHalfEven(Frame1->sensorScene(digit));
    if (scene < 1 || scene > hall::kSceneCount) return;
    odczyt_tab(int(scene));
    mark_scene_lamps();
}

void Form1::showLampDetails(int index) {
    if (!form3_) form3_ = new Form3(this);
    form3_->showLamp(index, lampFlags[index]);
}

void Form1::showAbout() {
    if (!form4_) {
        form4_ = new Form4(this);
        form4_->setAttribute(Qt::WA_DeleteOnClose);
        connect(form4_, &Form4::vendorPageRequested, this, &openVendorPage);
    }
    form4_->show();
    form4_->raise();
    form4_->activateWindow();
}
