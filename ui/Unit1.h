// Form1, the main window of TALVENO: the teal window with the banner, the
// title, the big "CONECTAR" button, the progress bar, the reading list and
// the button panel ("GUARDAR", "BORRAR", "Ayuda", "Acerca de:").
//
// Principles of operation
//   The window is the download workflow's screen and owns its port,
//   ComPort1. Each handler hands one event to the workflow (or opens Help or
//   About) through the program-wide error display, which shows any error
//   that leaves it; the window then carries on as the handler left it.
//
//   FormActivate, the start sequence with the port settings dialog, runs
//   once, when the window first becomes the active window, after the window
//   has been painted. Coming back from the settings dialog, Help, About, the
//   save dialog or a message box never runs it again.
//
//   Received-data notifications of ComPort1 reach ComPort1RxChar from the
//   event loop, also while a modal window of the program is open. A device
//   that fails while open (the cable pulled out) is reported once by the
//   error display; the window keeps the state it had.
//
//   The reading list box shows the bar's bytes as characters that read back
//   as the same bytes (memotext.h); the file holds what the box holds when
//   "GUARDAR" is pressed, the user's edits included.
//
//   Every element carries its design name as objectName ("Memo2", "BitBtn1",
//   "Button1", ...; the unnamed button panel is "ButtonPanel").
#pragma once

#include <QPointer>
#include <QWidget>

#include "comport.h"
#include "workflow.h"

class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

class TForm2;
class TForm3;

class TForm1 : public QWidget, private talveno::Window {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    using QWidget::setEnabled;
    using QWidget::setVisible;

    // The Help and About windows that "Ayuda" and "Acerca de:" open; the
    // program's entry creates them after this window. A button whose window
    // is not set (or gone) does nothing.
    void setInformationWindows(TForm2* help, TForm3* about);

    // The window's serial port; its settings are those the settings dialog
    // opens with.
    talveno::link::ComPort& comPort() { return ComPort1; }

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Enter presses BitBtn1, the default button, while it is shown and
    // enabled; a focused push button takes Enter itself.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Handlers, each one call.
    void FormActivate();
    void BitBtn1Click();
    void ComPort1RxChar(int count);
    void Button1Click();
    void Button4Click();
    void FormClose();
    void Button2Click();
    void Button3Click();

    // talveno::Window
    void setVisible(talveno::Element element, bool visible) override;
    void setEnabled(talveno::Element element, bool enabled) override;
    void setLabel2Text(const std::string& text) override;
    void setEdit1Text(const std::string& text) override;
    void setMemo2Lines(const std::vector<std::string>& lines) override;
    std::vector<std::string> memo2Lines() const override;
    void setMemo2Selection(int start, int length) override;
    void focusMemo2() override;
    void setProgressBar1Position(int position) override;
    std::optional<std::string> SaveDialog1Execute(
        const talveno::SaveDialogOptions& options) override;
    bool confirmEraseUnsaved() override;

    void buildDesign();
    QWidget* element(talveno::Element element) const;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Image1 = nullptr;
    QFrame* Panel1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QFrame* Panel3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QFrame* ButtonPanel = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QFrame* Panel4 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;

    talveno::link::ComPort ComPort1;
    talveno::DownloadWorkflow workflow_;

    QPointer<TForm2> Form2;
    QPointer<TForm3> Form3;
    bool activated_ = false;
};
