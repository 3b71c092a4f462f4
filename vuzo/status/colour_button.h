#pragma once

#include <QPushButton>

// A push button whose face is filled flat in exactly its palette's button
// colour, under any widget style: on the lamp plan the colour is the
// information, and a style's gradient would shift it.
class ColourButton : public QPushButton {
    Q_OBJECT

public:
    ColourButton(const QString& caption, QWidget* parent = nullptr);

    QColor colour() const { return palette().color(QPalette::Button); }
    // Repaints only when the colour really changes.
    void setColour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;
};
