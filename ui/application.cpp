#include "application.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

#include "errordisplay.h"

namespace talveno::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runHandler(activeWindow(), [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

bool installQtSpanish(QTranslator& translator) {
    return translator.load(QStringLiteral("qtbase_es"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
           QCoreApplication::installTranslator(&translator);
}

}  // namespace talveno::ui
