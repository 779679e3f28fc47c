#include "application.h"

#include <QLibraryInfo>
#include <exception>

#include "errordisplay.h"

namespace talveno::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::installQtSpanish() {
    if (!qtSpanish_.load(QStringLiteral("qtbase_es"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    return installTranslator(&qtSpanish_);
}

bool Application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runHandler(activeWindow(), [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace talveno::ui
