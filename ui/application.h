// The program's QApplication: a last guard that keeps errors out of Qt's
// event loop.
#pragma once

#include <QApplication>

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

}  // namespace talveno::ui
