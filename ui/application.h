// The program's QApplication: a last guard that keeps errors out of Qt's
// event loop; and Qt's own texts in Spanish.
#pragma once

#include <QApplication>

class QTranslator;

namespace talveno::ui {

class Application : public QApplication {
    Q_OBJECT
  public:
    Application(int& argc, char** argv);

    // Delivers the event; an exception derived from std::exception that
    // escapes a receiver is shown by the error display (over the active
    // window) instead of unwinding through the event loop, and the event
    // counts as not handled. The windows' handlers catch their own errors,
    // so this only meets what slipped past them.
    bool notify(QObject* receiver, QEvent* event) override;
};

// Loads Qt's own Spanish texts (qtbase_es, from Qt's translations folder)
// into translator and installs it in the running application, so that the
// save dialog, the message boxes' buttons and the command line's help speak
// Spanish; the program's own classes keep their texts. translator must
// outlive its use. False, with nothing installed, when the translations are
// missing or no application is running.
bool installQtSpanish(QTranslator& translator);

}  // namespace talveno::ui
