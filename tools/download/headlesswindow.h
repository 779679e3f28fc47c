// The main window as the downloader has it: no screen, no dialogs.
//
// The workflow drives it exactly as it drives the program's window. It keeps
// the reading list that the workflow builds, so that saving writes the same
// bytes as "GUARDAR" in the program for a list nobody edited. Its save
// "dialog" confirms, every time, the file named on the command line.
#pragma once

#include <string>
#include <vector>

#include "workflow.h"

namespace talveno::download {

class HeadlessWindow : public talveno::Window {
public:
    // savePath: what the save dialog confirms, extension already added.
    explicit HeadlessWindow(std::string savePath) : savePath_(std::move(savePath)) {}

    void setVisible(Element, bool) override {}
    void setEnabled(Element, bool) override {}
    void setLabel2Text(const std::string&) override {}
    void setEdit1Text(const std::string&) override {}
    void setMemo2Lines(const std::vector<std::string>& lines) override { memo2_ = lines; }
    std::vector<std::string> memo2Lines() const override { return memo2_; }
    void setMemo2Selection(int, int) override {}
    void focusMemo2() override {}
    void setProgressBar1Position(int) override {}
    std::optional<std::string> SaveDialog1Execute(const SaveDialogOptions&) override {
        return savePath_;
    }
    // With nobody to ask, readings that were not saved are never erased.
    bool confirmEraseUnsaved() override { return false; }

private:
    std::string savePath_;
    std::vector<std::string> memo2_;
};

}  // namespace talveno::download
