// What the link tests share: a window with no screen that keeps what the
// workflow puts in it, a download wired up as the main window wires it (bar
// simulator, ComPort1, workflow), bounded waits, and a hand for modal
// dialogs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QtTest/QTest>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "barsim.h"
#include "comport.h"
#include "workflow.h"

namespace talveno::link::testing {

using namespace std::chrono_literals;

constexpr int kWaitMs = 30000;  // generous: sanitizer builds on two cores

// Runs the event loop until done() or timeoutMs has passed.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
    return QTest::qWaitFor(done, timeoutMs);
}

class ScreenlessWindow : public Window {
  public:
    void setVisible(Element e, bool v) override { visible[e] = v; }
    void setEnabled(Element e, bool v) override { enabled[e] = v; }
    void setLabel2Text(const std::string& t) override { label2 = t; }
    void setEdit1Text(const std::string& t) override { edit1 = t; }
    void setMemo2Lines(const std::vector<std::string>& lines) override { memo2 = lines; }
    std::vector<std::string> memo2Lines() const override { return memo2; }
    void setMemo2Selection(int, int) override {}
    void focusMemo2() override {}
    void setProgressBar1Position(int) override {}
    std::optional<std::string> SaveDialog1Execute(const SaveDialogOptions&) override {
        return std::nullopt;
    }
    bool confirmEraseUnsaved() override { return true; }

    std::map<Element, bool> visible;
    std::map<Element, bool> enabled;
    std::string label2;
    std::string edit1;
    std::vector<std::string> memo2;
};

// A bar on a pseudo-terminal, ComPort1 on its device and the workflow between
// them, with rxChar handed to ComPort1RxChar as the main window does.
struct LinkedDownload {
    explicit LinkedDownload(sim::BarOptions barOptions) : options(barOptions), bar(barOptions) {
        PortSettings settings;
        settings.port = QString::fromStdString(bar.devicePath());
        port.setSettings(settings);
        QObject::connect(&port, &ComPort::rxChar, [this](int count) {
            counts.push_back(count);
            try {
                workflow.ComPort1RxChar(count);
            } catch (const Error& e) {
                handlerErrors.push_back(e.what());
            }
        });
        bar.start();
    }

    std::string received() const { return workflow.receiveText().bytes(); }

    sim::BarOptions options;
    sim::SimulatedBar bar;
    ComPort port;
    ScreenlessWindow window;
    DownloadWorkflow workflow{window, port};
    std::vector<int> counts;
    std::vector<std::string> handlerErrors;
};

// Runs act on the first modal dialog of type D to show up, from the event
// loop that dialog runs. A dialog that never shows fails the test; one still
// open after act is rejected, so a test never hangs on it.
template <typename D>
class ModalHand {
  public:
    explicit ModalHand(std::function<void(D&)> act) : act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }
    ~ModalHand() { EXPECT_TRUE(acted_) << "no modal dialog showed up"; }

  private:
    void poll() {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer_.stop();
            acted_ = true;
            act_(*dialog);
            if (dialog->isVisible()) {
                dialog->reject();
            }
        } else if (++polls_ > kWaitMs / 10) {
            timer_.stop();
        }
    }

    std::function<void(D&)> act_;
    QTimer timer_;
    int polls_ = 0;
    bool acted_ = false;
};

}  // namespace talveno::link::testing
