#pragma once

#include <QString>
#include <QTest>

// Types any text, Polish letters and other scripts included, as key presses
// carrying the characters (QTest::keyClicks takes Latin-1 only).
inline void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}
