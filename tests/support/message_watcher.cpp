#include "message_watcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

MessageWatcher::MessageWatcher(QObject* parent) : QObject(parent) {
    // Runs inside the message box's own event loop.
    connect(&timer_, &QTimer::timeout, this, &MessageWatcher::answer);
    timer_.start(5);
}

void MessageWatcher::answer() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    texts_ << box->text();
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
}
