#pragma once

#include <QByteArray>
#include <QLineEdit>
#include <QString>
#include <QTest>

// Types any text, Polish letters and other scripts included, as key presses
// carrying the characters (QTest::keyClicks takes Latin-1 only).
inline void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// The operator clicks into a field, selects what it holds and types over it
// (or deletes it, for an empty text).
inline void replaceText(QLineEdit* field, const QString& text) {
    QTest::mouseClick(field, Qt::LeftButton);
    field->selectAll();
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
    else
        typeText(field, text);
}

// The scrambled form of a run of "a": byte i is 'a' + 2·i − 1.
inline QByteArray scrambledRun(int count) {
    QByteArray bytes;
    for (int i = 1; i <= count; ++i) bytes += char('a' + 2 * i - 1);
    return bytes;
}
