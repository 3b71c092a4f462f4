#pragma once

#include <QCheckBox>

// A lamp box of the scene editor: 0 clear, 1 ticked, 2 the third state that
// only a scene file sets. A click toggles between clear and ticked; a click
// on the third state ticks the box.
class LampBox : public QCheckBox {
    Q_OBJECT

public:
    explicit LampBox(const QString& caption, QWidget* parent = nullptr);

    int value() const;
    void setValue(int value);

protected:
    void nextCheckState() override;
};
