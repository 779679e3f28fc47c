// What the window tests share: the three windows as the program's entry
// makes them, a simulated bar on a pseudo-terminal as their port, and
// shortcuts to the windows' elements by their design names.
#pragma once

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QTemporaryDir>
#include <QTextBlock>
#include <memory>
#include <optional>
#include <string>

#include "ABOUTFORM.h"
#include "Unit1.h"
#include "Unit2.h"
#include "barsim.h"
#include "modalscript.h"

namespace talveno::uitest {

template <typename Widget>
Widget* element(QWidget* window, const char* name) {
    auto* found = window->findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no element " << name;
    return found;
}

// The button of a dialog whose text, without its & marks, is text.
QAbstractButton* buttonWithText(QWidget* dialog, const QString& text);

// Types name into the save dialog and presses its Save button.
void saveUnder(QFileDialog* dialog, const QString& name);

// Clicks the button of the port settings dialog labelled text.
void pressSetupButton(QWidget* dialog, const QString& text);

// The readings file an unedited list gives for what a bar sent: its first
// 1000 CR LF-separated lines, numbered, each ending TAB CR LF.
std::string expectedReadingFile(const std::string& stream);

// The whole contents of a file; nothing when it cannot be read.
std::optional<std::string> fileBytes(const QString& path);

// The three windows and a simulated bar serving on a pseudo-terminal whose
// device is the port's preselected setting.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the bar with these options (before startReady()).
    void useBar(const sim::BarOptions& options);
    // Shows the main window and answers the settings dialog with "OK" or
    // "Cancel"; true once the window is Ready.
    bool startReady(const QString& setupButton = QStringLiteral("OK"));
    // Presses "CONECTAR" and waits until the whole answer has arrived and
    // the list holds the finished 1000th reading.
    bool downloadAll();
    // Whether the window is Complete with the finished 1000th reading in
    // the list.
    bool listFinished() const;
    // Presses "GUARDAR" and saves under name (in the test's folder);
    // the path saved to, or nothing when the script failed.
    std::optional<QString> saveAs(const QString& name);

    QString status() const { return Label2->text(); }
    QString memo2Line(int index) const {
        return Memo2->document()->findBlockByNumber(index).text();
    }

    std::unique_ptr<sim::SimulatedBar> bar;
    std::string stream;  // what the bar answers to "8"
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> help;
    std::unique_ptr<TForm3> about;
    std::unique_ptr<QTemporaryDir> folder;

    QLabel* Label2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QWidget* Panel1 = nullptr;
    QWidget* Panel4 = nullptr;
};

}  // namespace talveno::uitest
