#include "modalscript.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTest>
#include <QWidget>

namespace talveno::uitest {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        QTest::qWait(5);
    }
    return true;
}

ModalScript::ModalScript(std::chrono::milliseconds limit) : limit_(limit) {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &ModalScript::poll);
}

ModalScript::~ModalScript() {
    timer_.stop();
}

ModalScript& ModalScript::then(Step step) {
    steps_.push_back(std::move(step));
    return *this;
}

void ModalScript::start() {
    deadline_ = std::chrono::steady_clock::now() + limit_;
    QApplication::instance()->installEventFilter(this);
    timer_.start();
}

bool ModalScript::waitFinished() {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline_ - std::chrono::steady_clock::now());
    // One more second lets a script that gives up close its windows first.
    waitUntil([this] { return finished() || !failure_.empty(); }, left + std::chrono::seconds(1));
    return finished();
}

int ModalScript::appearancesOf(const char* className) const {
    return static_cast<int>(appearances_.count(QString::fromLatin1(className)));
}

void ModalScript::poll() {
    QWidget* top = QApplication::activeModalWidget();
    if (finished()) {
        return;  // keeps counting appearances until destroyed
    }
    if (std::chrono::steady_clock::now() >= deadline_) {
        giveUp();
        return;
    }
    if (top == nullptr || top == actedOn_) {
        return;
    }
    const Step& step = steps_[next_];
    if (!step.matches(top) || (step.ready && !step.ready())) {
        return;
    }
    actedOn_ = top;
    // Closed and shown again between two polls, it is a new window to act on
    // (the filter on the application sees its Hide).
    ++next_;
    // Acted on from a fresh call, so that a window the action opens in turn
    // (a question the dialog asks) is polled for while the action waits.
    QPointer<QWidget> target(top);
    QTimer::singleShot(0, this, [act = step.act, target] {
        if (target) {
            act(target);
        }
    });
}

bool ModalScript::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        const auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && widget->isModal()) {
            appearances_ << QString::fromLatin1(widget->metaObject()->className());
        }
    }
    if (event->type() == QEvent::Hide && watched == actedOn_) {
        actedOn_ = nullptr;
    }
    return QObject::eventFilter(watched, event);
}

void ModalScript::giveUp() {
    QWidget* top = QApplication::activeModalWidget();
    failure_ = "step '" + steps_[next_].name + "' not reached; on top: " +
               (top != nullptr ? top->metaObject()->className() : std::string("no modal window"));
    timer_.stop();
    closeAllModalWindows();
}

void closeAllModalWindows() {
    while (QWidget* top = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(top)) {
            dialog->reject();
        } else {
            top->close();
        }
        if (QApplication::activeModalWidget() == top) {
            top->hide();
        }
    }
}

}  // namespace talveno::uitest
