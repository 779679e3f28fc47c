#include "workflow.h"

#include <limits>

#include "readinglist.h"

namespace talveno {

void DownloadWorkflow::FormActivate() {
    window_.setVisible(Element::BitBtn1, false);
    window_.setEnabled(Element::Button1, false);
    window_.setEnabled(Element::Button4, false);
    window_.setVisible(Element::Memo2, false);
    window_.setVisible(Element::Panel1, false);
    window_.setVisible(Element::Panel3, false);
    window_.setVisible(Element::Panel4, false);
    port_.showSetupDialog();
    window_.setVisible(Element::BitBtn1, true);
    window_.setLabel2Text(std::string(kStatusReady));
    ChunkCount = 0;
}

void DownloadWorkflow::BitBtn1Click() {
    window_.setLabel2Text(std::string(kStatusWaiting));
    window_.setVisible(Element::Panel4, true);
    window_.setVisible(Element::Memo2, true);
    window_.setVisible(Element::Panel1, true);
    window_.setVisible(Element::BitBtn1, false);
    port_.open();
    port_.write(std::string_view(&kRequestData, 1));
}

void DownloadWorkflow::ComPort1RxChar(int count) {
    const std::string chunk = port_.read(count);
    received_.append(chunk);
    const std::size_t lines = received_.lineCount();
    window_.setEdit1Text(std::to_string(lines));

    window_.setProgressBar1Position(ChunkCount);
    // A bar that never stops sending must not overflow the counter; past the
    // bar's maximum every position shows a full bar anyway.
    if (ChunkCount < std::numeric_limits<std::int32_t>::max()) {
        ++ChunkCount;
    }

    // The list is built, and built again, until it has been built from a
    // finished 1000th line: one whose CR LF has arrived, or which a 1001st
    // line follows. A chunk that carries the count past 1000 at once
    // completes too, from lines 1 to 1000 only.
    if (lines >= kReadingCount && !listFinished_) {
        window_.setMemo2Lines(buildReadingList(received_));
        listFinished_ = received_.separatorCount() >= kReadingCount;
        savedSinceBuild_ = false;
        completeDownload();
    }

    window_.setMemo2Selection(0, 0);
    window_.focusMemo2();
}

void DownloadWorkflow::completeDownload() {
    complete_ = true;
    window_.setVisible(Element::Label2, false);
    window_.setEnabled(Element::Button1, true);
    window_.setEnabled(Element::Button4, true);
    window_.setVisible(Element::Panel4, false);
}

void DownloadWorkflow::Button1Click() {
    const std::optional<std::string> path = window_.SaveDialog1Execute({"txt", "C:\\"});
    if (!path) {
        return;
    }
    writeFileReplacing(*path, readingFileBytes(window_.memo2Lines()));
    savedSinceBuild_ = true;
}

void DownloadWorkflow::Button4Click() {
    if (complete_ && !savedSinceBuild_ && !window_.confirmEraseUnsaved()) {
        return;
    }
    port_.write(std::string_view(&kEraseMemory, 1));
}

void DownloadWorkflow::FormClose() { port_.close(); }

}  // namespace talveno
