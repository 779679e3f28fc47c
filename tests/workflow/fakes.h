// Recording stand-ins for the main window and the port: every operation the
// workflow performs is kept in order, so a test can assert exactly what a
// user would have seen and what went down the line.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "workflow.h"

namespace talveno::testing {

inline const char* elementName(Element e) {
    switch (e) {
        case Element::Label2: return "Label2";
        case Element::BitBtn1: return "BitBtn1";
        case Element::Button1: return "Button1";
        case Element::Button4: return "Button4";
        case Element::Panel1: return "Panel1";
        case Element::Memo2: return "Memo2";
        case Element::Panel3: return "Panel3";
        case Element::Panel4: return "Panel4";
    }
    return "?";
}

// The shared log of window and port operations, in the order they happened.
using Log = std::vector<std::string>;

class RecordingWindow : public Window {
public:
    explicit RecordingWindow(Log& log) : log_(log) {
        // As the window is designed.
        for (Element e : {Element::Label2, Element::BitBtn1, Element::Panel1, Element::Memo2,
                          Element::Panel4}) {
            visible[e] = true;
        }
        visible[Element::Panel3] = false;
        enabled[Element::Button1] = enabled[Element::Button4] = true;
    }

    void setVisible(Element e, bool v) override {
        visible[e] = v;
        log_.push_back(std::string(v ? "show " : "hide ") + elementName(e));
    }
    void setEnabled(Element e, bool v) override {
        enabled[e] = v;
        log_.push_back(std::string(v ? "enable " : "disable ") + elementName(e));
    }
    void setLabel2Text(const std::string& t) override {
        label2 = t;
        log_.push_back("Label2 " + t);
    }
    void setEdit1Text(const std::string& t) override { edit1 = t; }
    void setMemo2Lines(const std::vector<std::string>& lines) override {
        memo2 = lines;
        ++builds;
        log_.push_back("build");
    }
    std::vector<std::string> memo2Lines() const override { return memo2; }
    void setMemo2Selection(int start, int length) override {
        selection = {start, length};
    }
    void focusMemo2() override { ++focusCount; }
    void setProgressBar1Position(int p) override { progress.push_back(p); }
    std::optional<std::string> SaveDialog1Execute(const SaveDialogOptions& options) override {
        lastSaveOptions = options;
        log_.push_back("save dialog");
        return saveAnswer;
    }
    bool confirmEraseUnsaved() override {
        log_.push_back("confirm erase");
        return eraseAnswer;
    }

    std::map<Element, bool> visible;
    std::map<Element, bool> enabled;
    std::string label2 = std::string(kStatusSelectPort);
    std::string edit1 = "0";
    std::vector<std::string> memo2;
    int builds = 0;
    std::pair<int, int> selection{-1, -1};
    int focusCount = 0;
    std::vector<int> progress;
    std::optional<std::string> saveAnswer;
    std::optional<SaveDialogOptions> lastSaveOptions;
    bool eraseAnswer = false;

private:
    Log& log_;
};

class RecordingPort : public Port {
public:
    explicit RecordingPort(Log& log) : log_(log) {}

    void showSetupDialog() override {
        log_.push_back("setup dialog");
        if (dialogFailure) {
            throw Error(*dialogFailure);
        }
    }
    void open() override {
        log_.push_back("open");
        if (openFailure) {
            throw Error(*openFailure);
        }
        isOpen = true;
    }
    void write(std::string_view bytes) override {
        log_.push_back("write");
        if (writeFailure) {
            throw Error(*writeFailure);
        }
        written.append(bytes);
    }
    std::string read(int count) override {
        if (readFailure) {
            throw Error(*readFailure);
        }
        std::string out = waiting.substr(0, static_cast<std::size_t>(count));
        waiting.erase(0, out.size());
        return out;
    }
    void close() override {
        log_.push_back("close");
        isOpen = false;
    }

    std::string written;
    std::string waiting;
    bool isOpen = false;
    std::optional<std::string> dialogFailure, openFailure, writeFailure, readFailure;

private:
    Log& log_;
};

// A workflow with its window and port, started and connected on request.
struct Bench {
    Log log;
    RecordingWindow window{log};
    RecordingPort port{log};
    DownloadWorkflow workflow{window, port};

    void connect() {
        workflow.FormActivate();
        workflow.BitBtn1Click();
        log.clear();
    }
    // Delivers bytes as one notification, as the port announces them.
    void deliver(std::string_view bytes) {
        port.waiting.append(bytes);
        workflow.ComPort1RxChar(static_cast<int>(port.waiting.size()));
    }
};

// n readings "r1", "r2", ... each ending in CR LF.
inline std::string readings(int n, int from = 1) {
    std::string s;
    for (int i = from; i < from + n; ++i) {
        s += "r" + std::to_string(i) + "\r\n";
    }
    return s;
}

}  // namespace talveno::testing
