#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

// Answers the modal message boxes a test provokes as the operator would: reads
// the text and presses OK. The texts are kept in order.
class MessageWatcher : public QObject {
    Q_OBJECT

public:
    explicit MessageWatcher(QObject* parent = nullptr);

    QStringList texts() const { return texts_; }
    void clear() { texts_.clear(); }

private slots:
    void answer();

private:
    QTimer timer_;
    QStringList texts_;
};
