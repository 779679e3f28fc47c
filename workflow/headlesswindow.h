// A main window with no screen: it keeps the reading list the workflow
// builds and nothing else, so a download run without a display (the
// command-line downloader, the benchmarks) saves the same bytes as the
// program's "GUARDAR" for a list nobody edited.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "workflow.h"

namespace talveno {

class HeadlessWindow : public Window {
public:
    // savePath: what the save "dialog" confirms every time (extension already
    // added); none means saving is cancelled. With nobody to ask, readings
    // that were not saved are never erased.
    explicit HeadlessWindow(std::optional<std::string> savePath = std::nullopt)
        : savePath_(std::move(savePath)) {}

    void setVisible(Element, bool) override {}
    void setEnabled(Element, bool) override {}
    void setLabel2Text(const std::string&) override {}
    void setEdit1Text(const std::string&) override {}
    void setMemo2Lines(const std::vector<std::string>& lines) override { memo2_ = lines; }
    std::vector<std::string> memo2Lines() const override { return memo2_; }
    void setMemo2Selection(int, int) override {}
    void focusMemo2() override {}
    void setProgressBar1Position(int) override {}
    std::optional<std::string> SaveDialog1Execute(const SaveDialogOptions&) override { return savePath_; }
    bool confirmEraseUnsaved() override { return false; }

    const std::vector<std::string>& readingList() const { return memo2_; }

private:
    std::optional<std::string> savePath_;
    std::vector<std::string> memo2_;
};

}  // namespace talveno
