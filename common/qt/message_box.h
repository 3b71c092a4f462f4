#pragma once

#include <QString>

class QWidget;

namespace hall {

// A modal message with an OK button only, titled with the application's name.
// Every message of the programs goes through here.
void showMessage(QWidget* parent, const QString& text);

}  // namespace hall
