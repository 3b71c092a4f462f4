#pragma once

// Opening the configurator in a test hall and reaching its controls as the
// operator sees them.

#include "colour_button.h"
#include "hall_fixture.h"
#include "lamp_box.h"
#include "main_window.h"
#include "scenes_page.h"
#include "status_page.h"
#include "twips.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTest>

#include <memory>

inline QByteArray stateLine(const QList<int>& litLamps, const QByteArray& litValue = "3") {
    QByteArray line;
    for (int n = 1; n <= 108; ++n)
        line += "la" + QByteArray::number(n) + "=" + (litLamps.contains(n) ? litValue : "1") + "&";
    return line;
}

inline QByteArray sceneLine(const QList<int>& ticked, char marker = 'a') {
    QByteArray line(1, marker);
    for (int n = 1; n <= 108; ++n) line += ticked.contains(n) ? '1' : '0';
    return line;
}

// Lets queued work (the start-up message, page changes) run.
inline void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

struct Configurator {
    Configurator() : form(std::make_unique<MainWindow>()) {
        form->show();
        settle();
    }
    StatusPage* status() const { return form->findChild<StatusPage*>(QStringLiteral("Frame5")); }
    ScenesPage* scenes() const { return form->findChild<ScenesPage*>(QStringLiteral("Frame1")); }
    QFrame* page(int frame) const { return form->findChild<QFrame*>(QStringLiteral("Frame%1").arg(frame)); }
    QTabBar* tabs(int strip) const { return form->findChild<QTabBar*>(QStringLiteral("TabStrip%1").arg(strip)); }
    QPushButton* lamp(int number) const {
        return status()->findChild<QPushButton*>(QStringLiteral("Command8_%1").arg(number - 1));
    }
    QColor lampColour(int number) const { return status()->lampColour(number - 1); }
    // The frames the operator can see, by number.
    QList<int> visiblePages() const {
        QList<int> shown;
        for (int n = 1; n <= 6; ++n)
            if (page(n)->isVisible()) shown << n;
        return shown;
    }
    // Key fields A1 … F4 (0 … 23) and sensor fields 1 … 8 (0 … 7).
    QLineEdit* keyField(int i) const { return scenes()->findChild<QLineEdit*>(QStringLiteral("Text9_%1").arg(i)); }
    QLineEdit* sensorField(int i) const { return scenes()->findChild<QLineEdit*>(QStringLiteral("Text10_%1").arg(i)); }
    void clickTab(int strip, int tab) const {
        QTabBar* bar = tabs(strip);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab - 1).center());
        settle();
    }

    // A click on the box itself, as the operator ticks it.
    void clickLampBox(int index) const {
        auto* box = scenes()->findChild<LampBox*>(QStringLiteral("Check1_%1").arg(index));
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
    }

    std::unique_ptr<MainWindow> form;
};
