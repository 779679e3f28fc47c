#include "application.h"

#include <exception>

#include "errordisplay.h"

namespace talveno::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runHandler(activeWindow(), [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace talveno::ui
