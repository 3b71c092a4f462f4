#pragma once

#include <QWidget>

class QToolButton;

// A spin button: an up and a down arrow stepping a whole value between
// Min and Max. It stops at its bounds and shows no value of its own;
// whoever listens to valueChanged decides what the value means.
class SpinButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)

public:
    SpinButton(int min, int max, int value, QWidget* parent = nullptr);

    int min() const { return min_; }
    int max() const { return max_; }
    int value() const { return value_; }

public slots:
    // Clamped to Min … Max; valueChanged only when the value really changes.
    void setValue(int value);
    void stepUp() { setValue(value_ + 1); }
    void stepDown() { setValue(value_ - 1); }

signals:
    void valueChanged(int value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* arrow(Qt::ArrowType type, const char* name, const QString& accessibleName);

    int min_;
    int max_;
    int value_;
    QToolButton* up_;
    QToolButton* down_;
};
