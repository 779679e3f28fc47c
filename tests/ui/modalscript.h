// Driving the program's modal windows from a test.
//
// A modal window (the settings dialog, Help, About, the save dialog, a
// message box) runs its own event loop inside the handler that opened it, so
// a test cannot act on it after the call. A ModalScript instead polls, from
// the event loop, for the application's top modal window and, step by step,
// acts on each one that matches, as a user would. Every wait is bounded: when
// the script's time is up, it notes what it was waiting for and closes every
// modal window still open, so that no test hangs.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace talveno::uitest {

// Processes events until condition holds or timeout has passed; whether it
// holds in the end.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

class ModalScript : public QObject {
    Q_OBJECT
  public:
    struct Step {
        std::string name;                       // named in failures
        std::function<bool(QWidget*)> matches;  // which modal window it is for
        std::function<void(QWidget*)> act;      // what the user does there
        std::function<bool()> ready = nullptr;  // optionally, wait for this first
    };

    explicit ModalScript(std::chrono::milliseconds limit = std::chrono::seconds(60));
    ~ModalScript() override;

    // Adds a step; steps run in order, each on a modal window that the
    // script has not just acted on (or that has been closed since).
    ModalScript& then(Step step);
    // The step for a modal window of class Dialog.
    template <typename Dialog>
    ModalScript& on(std::string name, std::function<void(Dialog*)> act,
                    std::function<bool()> ready = nullptr) {
        return then({std::move(name),
                     [](QWidget* w) { return qobject_cast<Dialog*>(w) != nullptr; },
                     [act = std::move(act)](QWidget* w) { act(qobject_cast<Dialog*>(w)); },
                     std::move(ready)});
    }

    // Starts polling; the steps are then carried out as their windows show.
    void start();
    // Whether every step has been carried out.
    bool finished() const { return next_ == steps_.size(); }
    // Waits (bounded by the script's limit) until every step has been
    // carried out; false, with failure() saying why, otherwise.
    bool waitFinished();
    // What went wrong: the step not reached and the modal window then on top.
    const std::string& failure() const { return failure_; }
    // Every modal window shown since start(), in order, as its class name
    // (a window counts again each time it is shown again).
    const QStringList& appearances() const { return appearances_; }
    int appearancesOf(const char* className) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void poll();
    void giveUp();

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QTimer timer_;
    std::chrono::steady_clock::time_point deadline_;
    std::chrono::milliseconds limit_;
    QPointer<QWidget> actedOn_;  // still open since the last step acted on it
    QStringList appearances_;
    std::string failure_;
};

// Closes every modal window still open (the test's last resort).
void closeAllModalWindows();

}  // namespace talveno::uitest
