#pragma once

#include <QColor>
#include <QWidget>

namespace hall {

// A painted outline or filled figure: the sensor marks (circles), the row
// marker and the about window's frame (rounded rectangles).
class Shape : public QWidget {
    Q_OBJECT

public:
    enum class Kind { Circle, RoundedRectangle };

    Shape(Kind kind, QWidget* parent = nullptr);

    QColor fillColor() const { return fill_; }
    void setFillColor(const QColor& color);  // an invalid colour leaves it hollow
    QColor borderColor() const { return border_; }
    void setBorderColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_;
    QColor fill_;
    QColor border_ = Qt::black;
};

// A straight line between two points of the parent, given in twips.
class Line : public QWidget {
    Q_OBJECT

public:
    Line(int x1, int y1, int x2, int y2, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool horizontal_;
};

}  // namespace hall
