#pragma once

// Entering text into the schedule fields as the operator does.

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

// A whole text arrives in one change, as when the operator pastes it.
inline void paste(QLineEdit* field, const QString& text) {
    QApplication::clipboard()->setText(text);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
}

inline void clear(QLineEdit* field) {
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
}

// "<cleared>" empties a field that held 12; otherwise the entry is pasted.
inline void enter(QLineEdit* field, const QString& entry) {
    if (entry != QLatin1String("<cleared>")) return paste(field, entry);
    paste(field, QStringLiteral("12"));
    clear(field);
}

// The system whose decimal separator is `separator`.
inline QLocale separatorLocale(const QString& separator) {
    return QLocale(separator == QLatin1String(",") ? QLocale::Polish : QLocale::English);
}
