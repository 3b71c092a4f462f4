#pragma once

#include <functional>

class QApplication;
class QWidget;

// How vuzo starts: when the hall's configurator already runs, asks it to
// raise its window and gives 0 at once, showing nothing. Otherwise shows the
// login window; a right password shows the main window that
// `createMainWindow` builds. Gives the program's exit status.
int startConfigurator(QApplication& app, const std::function<QWidget*()>& createMainWindow);
