// The download workflow of TALVENO's main window, free of any window toolkit
// and of any serial library.
//
// Principles of operation
//   The workflow holds the download's data (the receive text, its line count,
//   ChunkCount) and drives the main window and the port through the two small
//   interfaces declared here, Window and Port. The program's window and serial
//   adapter implement them over Qt; the tests implement them with recording
//   fakes; the command-line downloader with a window that has no screen.
//
//   Every operation runs on one thread, one at a time. An operation that meets
//   a failure of the port or of the file system stops where the failure arose:
//   what it already changed stays changed, and the failure leaves the operation
//   as an exception derived from talveno::Error whose what() is the text the
//   user reads. Nothing here catches or shows errors; that is the caller's job.
//
//   Bytes from the bar are kept exactly as they came (NUL, lone CR or LF and
//   bytes 0x80 to 0xFF included) in std::string, used as 8-bit text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "receivetext.h"

namespace talveno {

// A failure the user is told about; what() is the user's words.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The main window's elements that the workflow shows, hides or enables.
// Memo1 and Edit1 live inside Panel3 and are never shown.
enum class Element { Label2, BitBtn1, Button1, Button4, Panel1, Memo2, Panel3, Panel4 };

struct SaveDialogOptions {
    std::string defaultExtension;  // added to a name typed without an extension
    std::string initialDir;        // where the dialog opens
};

// What the workflow needs of the main window.
class Window {
public:
    virtual ~Window() = default;

    virtual void setVisible(Element element, bool visible) = 0;
    virtual void setEnabled(Element element, bool enabled) = 0;  // Button1, Button4
    virtual void setLabel2Text(const std::string& text) = 0;
    virtual void setEdit1Text(const std::string& text) = 0;

    // The reading list box. Lines are 8-bit text without line ends; the box
    // may hold what the user typed since it was last set.
    virtual void setMemo2Lines(const std::vector<std::string>& lines) = 0;
    virtual std::vector<std::string> memo2Lines() const = 0;
    virtual void setMemo2Selection(int start, int length) = 0;
    virtual void focusMemo2() = 0;

    virtual void setProgressBar1Position(int position) = 0;

    // Runs the save dialog; the confirmed path, or nothing when the user
    // cancelled. A confirmed path already carries the default extension when
    // the user typed a name without one.
    virtual std::optional<std::string> SaveDialog1Execute(const SaveDialogOptions& options) = 0;

    // Asks the user whether to erase the bar's memory although the readings
    // on screen have not been saved; true means erase.
    virtual bool confirmEraseUnsaved() = 0;
};

// What the workflow needs of the serial port. Failures throw talveno::Error
// (or a class derived from it) carrying the port's message.
class Port {
public:
    virtual ~Port() = default;

    // Shows the port settings dialog and returns when the user closed it.
    virtual void showSetupDialog() = 0;
    virtual void open() = 0;
    virtual void write(std::string_view bytes) = 0;
    // Up to count bytes that are already waiting; never waits for more.
    virtual std::string read(int count) = 0;
    // Harmless when the port is not open.
    virtual void close() = 0;
};

// The status texts the workflow puts in Label2.
inline constexpr std::string_view kStatusSelectPort =
    "Seleccione el puerto serial de comunicaciones que dispone su PC";
inline constexpr std::string_view kStatusReady =
    "Haga click en \"Conectar\" cuando haya enchufado el cable a la PC";
inline constexpr std::string_view kStatusWaiting = "Aguarde la descarga de datos";

// The one-byte commands to the bar.
inline constexpr char kRequestData = 0x38;  // "8": send the stored readings
inline constexpr char kEraseMemory = 0x33;  // "3": erase the stored readings

// How many lines make a complete download, and the progress bar's maximum.
inline constexpr std::size_t kReadingCount = 1000;
inline constexpr int kProgressMaximum = 430;

class DownloadWorkflow {
public:
    DownloadWorkflow(Window& window, Port& port) : window_(window), port_(port) {}

    // Start sequence, run when the main window is first activated: hides the
    // workflow's elements, shows the port settings dialog, then shows the
    // connect button with the Ready status. A failure of the dialog leaves
    // the first steps done and BitBtn1 hidden.
    void FormActivate();

    // Connect: status "Aguarde la descarga de datos", shows the progress bar
    // and the list, hides the connect button, opens the port and writes the
    // request byte. A failure to open leaves the window as it then stands and
    // writes nothing.
    void BitBtn1Click();

    // One received-data notification: reads up to count bytes, appends them
    // to the receive text, updates the counter and the progress bar, builds
    // the reading list and completes once 1000 lines have arrived, and puts
    // the list's caret at its start. A failed read appends nothing.
    void ComPort1RxChar(int count);

    // Save: asks for a file name and writes the list as the box holds it.
    // Throws Error("Cannot create file <path>") or Error("Stream write
    // error"); an existing file of that name is then left as it was.
    void Button1Click();

    // Erase: writes the erase byte, after asking first when the list on
    // screen has not been saved since it was last built.
    void Button4Click();

    // Closes the port (harmless when it was never opened).
    void FormClose();

    const ReceiveText& receiveText() const { return received_; }
    std::int32_t chunkCount() const { return ChunkCount; }
    // True once the list has been built from a 1000th line whose end has
    // arrived; later chunks no longer touch the list.
    bool listFinished() const { return listFinished_; }
    // True once the list has been built at least once (Complete state).
    bool complete() const { return complete_; }

private:
    void completeDownload();

    Window& window_;
    Port& port_;
    ReceiveText received_;
    std::int32_t ChunkCount = 0;
    bool complete_ = false;
    bool listFinished_ = false;
    bool savedSinceBuild_ = false;
};

}  // namespace talveno
