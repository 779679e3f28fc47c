// The main window driven as a user drives it, with the bar simulator on a
// pseudo-terminal as the bar: the start sequence, connecting, whole
// downloads saved to disk, failures of the port, Help during a download, and
// the questions asked before replacing a file or erasing unsaved readings.
#include <gtest/gtest.h>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "memotext.h"
#include "setupdialog.h"
#include "uitest.h"

namespace talveno::uitest {

namespace {

using namespace std::chrono_literals;

const QString kDesignStatus =
    QStringLiteral("Seleccione el puerto serial de comunicaciones que dispone su PC");
const QString kReadyStatus =
    QStringLiteral("Haga click en \"Conectar\" cuando haya enchufado el cable a la PC");
const QString kWaitingStatus = QStringLiteral("Aguarde la descarga de datos");
const char* const kSetupDialog = "talveno::link::SetupDialog";

// The window's state as the user sees it.
struct Look {
    QString status;
    bool statusShown, connectShown, saveEnabled, eraseEnabled, listShown, progressShown;
    friend bool operator==(const Look&, const Look&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Look& look) {
        return out << '"' << look.status.toStdString() << "\" shown " << look.statusShown
                   << ", connect " << look.connectShown << ", save " << look.saveEnabled
                   << ", erase " << look.eraseEnabled << ", list " << look.listShown
                   << ", progress " << look.progressShown;
    }
};

class MainWindow : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        watcher.start();
    }

    Look look() const {
        return {status(),
                Label2->isVisible(),
                BitBtn1->isVisible(),
                Button1->isEnabled(),
                Button4->isEnabled(),
                Memo2->isVisible(),
                Panel4->isVisible()};
    }

    static Look starting() { return {kDesignStatus, true, false, false, false, false, false}; }
    static Look ready() { return {kReadyStatus, true, true, false, false, false, false}; }
    static Look downloading() { return {kWaitingStatus, true, false, false, false, true, true}; }
    static Look complete() { return {kWaitingStatus, false, false, true, true, true, false}; }

    // Notes every modal window that comes on top, for the whole test.
    ModalScript watcher{std::chrono::minutes(10)};
};

// ---------------------------------------------------------------------------
// The start sequence

struct SetupCase {
    const char* name;
    const char* button;
    friend void PrintTo(const SetupCase& c, std::ostream* out) { *out << c.name; }
};

class StartSequence : public MainWindow, public ::testing::WithParamInterface<SetupCase> {};

TEST_P(StartSequence, SettingsDialogOverTheStartingWindowThenReady) {
    sim::BarOptions unpaced;
    unpaced.baud = 0;
    useBar(unpaced);
    const link::PortSettings preselected = form->comPort().settings();

    std::optional<Look> whileOpen;
    bool overTheShownWindow = false;
    ModalScript script;
    script.on<link::SetupDialog>("settings dialog", [&](link::SetupDialog* dialog) {
        whileOpen = look();
        overTheShownWindow = form->isVisible() && dialog->parentWidget() == form.get();
        pressSetupButton(dialog, QString::fromLatin1(GetParam().button));
    });
    script.start();
    form->show();
    ASSERT_TRUE(script.waitFinished()) << script.failure();

    ASSERT_TRUE(whileOpen.has_value());
    EXPECT_EQ(*whileOpen, starting());
    EXPECT_TRUE(overTheShownWindow);
    ASSERT_TRUE(waitUntil([&] { return look() == ready(); })) << look();
    EXPECT_EQ(form->comPort().settings(), preselected);
}

INSTANTIATE_TEST_SUITE_P(MainWindow, StartSequence,
                         ::testing::Values(SetupCase{"Ok", "OK"}, SetupCase{"Cancel", "Cancel"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, FormActivateRunsOnlyOnTheFirstActivation) {
    ASSERT_TRUE(startReady());

    ModalScript script;
    script.on<TForm2>("Help", [](TForm2* window) { window->close(); });
    script.on<TForm3>("About", [](TForm3* window) { window->close(); });
    script.on<QMessageBox>("error box",
                           [](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    script.start();
    Button2->click();
    Button3->click();
    // An error box too: connecting to a device that is not there.
    link::PortSettings missing = form->comPort().settings();
    missing.port = QStringLiteral("/nonexistent/talveno-bar");
    form->comPort().setSettings(missing);
    BitBtn1->click();
    ASSERT_TRUE(script.waitFinished()) << script.failure();

    // Another window of the program takes the focus and gives it back.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::qWait(100);  // a start sequence wrongly run again would show its dialog by now

    EXPECT_EQ(watcher.appearancesOf(kSetupDialog), 1)
        << watcher.appearances().join(' ').toStdString();
    EXPECT_EQ(look(), downloading());
}

// ---------------------------------------------------------------------------
// Enter in the Ready state

TEST_F(MainWindow, EnterPressesConectarWhenNoOtherPushButtonHasTheFocus) {
    ASSERT_TRUE(startReady());
    QWidget* focused = QApplication::focusWidget();
    ASSERT_TRUE(qobject_cast<QPushButton*>(focused) == nullptr || focused == BitBtn1)
        << focused->objectName().toStdString();

    QTest::keyClick(focused != nullptr ? focused : form.get(), Qt::Key_Return);

    EXPECT_EQ(look(), downloading());
    ASSERT_TRUE(bar->waitForReceived(1, 10s));
    EXPECT_EQ(bar->received(), "8");
}

TEST_F(MainWindow, EnterPressesTheFocusedPushButtonInstead) {
    ASSERT_TRUE(startReady());
    ModalScript script;
    script.on<TForm2>("Help", [](TForm2* window) { window->close(); });
    script.start();
    Button2->setFocus();

    QTest::keyClick(Button2, Qt::Key_Return);

    ASSERT_TRUE(script.waitFinished()) << script.failure();
    EXPECT_EQ(look(), ready());
    BitBtn1->click();  // the request that follows is the first byte the bar gets
    ASSERT_TRUE(bar->waitForReceived(1, 10s));
    EXPECT_EQ(bar->received(), "8");
}

// ---------------------------------------------------------------------------
// Whole downloads, saved

struct StreamCase {
    const char* name;
    sim::BarOptions options;
    friend void PrintTo(const StreamCase& c, std::ostream* out) { *out << c.name; }
};

sim::BarOptions unpacedWith(void (*change)(sim::BarOptions&)) {
    sim::BarOptions options;
    options.baud = 0;
    change(options);
    return options;
}

// 1000 readings among which every byte value stands once, in the middle of
// a reading.
std::string everyByteValueStream() {
    std::string stream;
    for (int k = 1; k <= 1000; ++k) {
        stream += std::to_string(k);
        if (k <= 256) {
            stream.push_back(static_cast<char>(k - 1));
        }
        stream += "7\r\n";
    }
    return stream;
}

class WholeDownload : public MainWindow, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(WholeDownload, SavedFileHoldsTheNumberedReadingsByteForByte) {
    useBar(GetParam().options);
    ASSERT_TRUE(startReady());
    ASSERT_TRUE(downloadAll()) << look();
    EXPECT_EQ(look(), complete());

    const std::optional<QString> saved = saveAs(QStringLiteral("datos"));
    ASSERT_TRUE(saved.has_value());
    const std::optional<std::string> bytes = fileBytes(*saved + QStringLiteral(".txt"));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(*bytes == expectedReadingFile(stream)) << "the file differs from the stream";
    EXPECT_EQ(bar->received(), "8");
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, WholeDownload,
    ::testing::Values(
        StreamCase{"OrdinaryReadings", unpacedWith([](sim::BarOptions&) {})},
        StreamCase{"PacedAt115200",
                   [] {
                       sim::BarOptions paced;
                       paced.baud = 115200;
                       return paced;
                   }()},
        StreamCase{"NulHighBytesLoneCrLfEmptyReadings", unpacedWith([](sim::BarOptions& o) {
                       o.nulBytes = o.highBytes = o.loneCrLf = o.emptyReadings = true;
                   })},
        StreamCase{"EveryByteValue",
                   unpacedWith([](sim::BarOptions& o) { o.stream = everyByteValueStream(); })},
        StreamCase{"ReadingsPast1000", unpacedWith([](sim::BarOptions& o) { o.extraLines = 7; })}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, NameWithoutExtensionGetsTxtAndOneWithAnExtensionIsKept) {
    ASSERT_TRUE(startReady());
    ASSERT_TRUE(downloadAll());
    const std::string expected = expectedReadingFile(stream);

    for (const auto& [typed, written] :
         {std::pair{"datos", "datos.txt"}, std::pair{"lecturas.csv", "lecturas.csv"}}) {
        ASSERT_TRUE(saveAs(QString::fromLatin1(typed)).has_value());
        EXPECT_EQ(fileBytes(folder->filePath(QString::fromLatin1(written))), expected) << typed;
    }
    EXPECT_EQ(QDir(folder->path()).entryList(QDir::Files).size(), 2);
}

TEST_F(MainWindow, TheFileHoldsTheListAsEditedByTheUser) {
    ASSERT_TRUE(startReady());
    ASSERT_TRUE(downloadAll());
    Memo2->moveCursor(QTextCursor::Start);
    // Typed as a keyboard sends them (keyClicks knows ASCII only).
    for (const QString& typed : {QStringLiteral("Ñ"), QStringLiteral("€")}) {
        QTest::sendKeyEvent(QTest::Click, Memo2, Qt::Key_unknown, typed, Qt::NoModifier);
    }

    const std::optional<QString> saved = saveAs(QStringLiteral("editado.txt"));
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(fileBytes(*saved), "\xD1?" + expectedReadingFile(stream));
}

TEST_F(MainWindow, CancelInTheSaveDialogWritesNothing) {
    ASSERT_TRUE(startReady());
    ASSERT_TRUE(downloadAll());
    ModalScript script;
    script.on<QFileDialog>("save dialog", [this](QFileDialog* dialog) {
        dialog->selectFile(folder->filePath(QStringLiteral("datos")));
        dialog->reject();
    });
    script.start();
    Button1->click();
    ASSERT_TRUE(script.waitFinished()) << script.failure();
    EXPECT_TRUE(QDir(folder->path()).isEmpty());
    EXPECT_EQ(look(), complete());
}

TEST_F(MainWindow, AFileThatCannotBeCreatedIsReportedAndTheListStays) {
    ASSERT_TRUE(startReady());
    ASSERT_TRUE(downloadAll());
    const QString path = folder->filePath(QStringLiteral("no-such-folder/datos.txt"));
    const QString firstLine = memo2Line(0);
    QString shown;
    ModalScript script;
    script.on<QFileDialog>("save dialog", [&](QFileDialog* dialog) { saveUnder(dialog, path); });
    script.on<QMessageBox>("error box", [&](QMessageBox* box) {
        shown = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    script.start();
    Button1->click();
    ASSERT_TRUE(script.waitFinished()) << script.failure();
    EXPECT_EQ(shown, QStringLiteral("Cannot create file ") + path + QLatin1Char('.'));
    EXPECT_EQ(look(), complete());
    EXPECT_EQ(memo2Line(0), firstLine);
}

// ---------------------------------------------------------------------------
// Failures of the port

struct OpenFailureCase {
    const char* name;
    bool heldByAnotherProgram;  // else the device is not there
    int systemError;
    friend void PrintTo(const OpenFailureCase& c, std::ostream* out) { *out << c.name; }
};

class OpenFailure : public MainWindow, public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(OpenFailure, ErrorBoxNoConnectButtonNothingWritten) {
    ASSERT_TRUE(startReady());
    link::ComPort holder;
    if (GetParam().heldByAnotherProgram) {
        holder.setSettings(form->comPort().settings());
        holder.open();
    } else {
        link::PortSettings missing = form->comPort().settings();
        missing.port = QStringLiteral("/nonexistent/talveno-bar");
        form->comPort().setSettings(missing);
    }
    QString title, text;
    ModalScript script;
    script.on<QMessageBox>("error box", [&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    script.start();
    BitBtn1->click();
    ASSERT_TRUE(script.waitFinished()) << script.failure();

    EXPECT_EQ(title, QStringLiteral("TALVENO"));
    // The message ends in a closing bracket, below the period: no period added.
    EXPECT_EQ(
        text,
        QStringLiteral("Unable to open com port (win error code: %1)").arg(GetParam().systemError));
    EXPECT_EQ(look(), downloading());
    if (GetParam().heldByAnotherProgram) {
        holder.write("X");  // the first byte the bar gets, so no request went before it
        ASSERT_TRUE(bar->waitForReceived(1, 10s));
        EXPECT_EQ(bar->received(), "X");
    }
}

INSTANTIATE_TEST_SUITE_P(MainWindow, OpenFailure,
                         ::testing::Values(OpenFailureCase{"MissingDevice", false, ENOENT},
                                           OpenFailureCase{"DeviceHeldByAnotherProgram", true,
                                                           EBUSY}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, UnpluggedBarIsReportedOnceAndTheWindowKeepsItsState) {
    sim::BarOptions unplugged;
    unplugged.baud = 0;
    unplugged.hangUpAfter = 2000;
    useBar(unplugged);
    ASSERT_TRUE(startReady());
    QString text;
    ModalScript script;
    script.on<QMessageBox>("error box", [&](QMessageBox* box) {
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    script.start();
    BitBtn1->click();
    ASSERT_TRUE(script.waitFinished()) << script.failure();
    QTest::qWait(300);  // room for a second report, which must not come

    EXPECT_TRUE(text.startsWith(QStringLiteral("ReadFile function failed (win error code: ")))
        << text.toStdString();
    EXPECT_EQ(watcher.appearancesOf("QMessageBox"), 1);
    EXPECT_EQ(look(), downloading());
    // What came before the unplug was counted (the counter box is never shown).
    EXPECT_GT(element<QLineEdit>(form.get(), "Edit1")->text().toInt(), 0);
}

// ---------------------------------------------------------------------------
// Help during a download

TEST_F(MainWindow, HelpDuringADownloadLetsItFinish) {
    sim::BarOptions paced;
    paced.baud = 19200;
    useBar(paced);
    ASSERT_TRUE(startReady());
    BitBtn1->click();

    std::optional<Look> whenHelpShowed;
    ModalScript script;
    script.then({"Help, closed once the download is complete",
                 [&](QWidget* window) {
                     if (qobject_cast<TForm2*>(window) == nullptr) {
                         return false;
                     }
                     if (!whenHelpShowed) {
                         whenHelpShowed = look();
                     }
                     return true;
                 },
                 [](QWidget* window) { window->close(); }, [this] { return listFinished(); }});
    script.start();
    Button2->click();
    ASSERT_TRUE(script.waitFinished()) << script.failure();

    ASSERT_TRUE(whenHelpShowed.has_value());
    EXPECT_EQ(*whenHelpShowed, downloading());
    EXPECT_EQ(look(), complete());
    const std::optional<QString> saved = saveAs(QStringLiteral("datos.txt"));
    ASSERT_TRUE(saved.has_value());
    EXPECT_TRUE(fileBytes(*saved) == expectedReadingFile(stream));
}

TEST_F(MainWindow, TextTypedIntoHelpIsThereWhenItOpensAgain) {
    ASSERT_TRUE(startReady());
    const QString note = QStringLiteral("Barra 3, lote norte. ");
    QString reopened;
    ModalScript script;
    script.on<TForm2>("Help, typed into", [&](TForm2* window) {
        auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        text->moveCursor(QTextCursor::Start);
        QTest::keyClicks(text, note);
        window->close();
    });
    script.on<TForm2>("Help, opened again", [&](TForm2* window) {
        reopened = window->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText();
        window->close();
    });
    script.start();
    Button2->click();
    Button2->click();
    ASSERT_TRUE(script.waitFinished()) << script.failure();
    EXPECT_TRUE(reopened.startsWith(note + QStringLiteral("Ayuda para el uso de este programa:")))
        << reopened.left(80).toStdString();
    EXPECT_EQ(look(), ready());
}

// ---------------------------------------------------------------------------
// Questions before losing data

struct OverwriteCase {
    const char* name;
    QMessageBox::StandardButton answer;
    bool replaced;
    friend void PrintTo(const OverwriteCase& c, std::ostream* out) { *out << c.name; }
};

class Overwrite : public MainWindow, public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(Overwrite, ReplacingAnExistingFileAsksFirst) {
    ASSERT_TRUE(startReady());
    ASSERT_TRUE(downloadAll());
    const QString path = folder->filePath(QStringLiteral("datos.txt"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("lecturas anteriores\r\n");
    }
    ModalScript script;
    script.on<QFileDialog>("save dialog", [&](QFileDialog* dialog) {
        saveUnder(dialog, folder->filePath(QStringLiteral("datos")));
    });
    script.on<QMessageBox>("replace question", [answer = GetParam().answer](QMessageBox* box) {
        box->button(answer)->click();
    });
    if (!GetParam().replaced) {
        script.on<QFileDialog>("save dialog, given up",
                               [](QFileDialog* dialog) { dialog->reject(); });
    }
    script.start();
    Button1->click();
    ASSERT_TRUE(script.waitFinished()) << script.failure();

    EXPECT_EQ(fileBytes(path), GetParam().replaced ? expectedReadingFile(stream)
                                                   : std::string("lecturas anteriores\r\n"));
    EXPECT_EQ(QDir(folder->path()).entryList(QDir::Files).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(MainWindow, Overwrite,
                         ::testing::Values(OverwriteCase{"NoKeepsTheFile", QMessageBox::No, false},
                                           OverwriteCase{"YesReplacesIt", QMessageBox::Yes, true}),
                         [](const auto& info) { return std::string(info.param.name); });

enum class EraseAnswer { No, Escape, Yes };

struct EraseCase {
    const char* name;
    EraseAnswer answer;
    friend void PrintTo(const EraseCase& c, std::ostream* out) { *out << c.name; }
};

class EraseUnsaved : public MainWindow, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(EraseUnsaved, BorrarBeforeSavingAsksFirst) {
    ASSERT_TRUE(startReady());
    ASSERT_TRUE(downloadAll());
    QString title, text, informative, yes, no;
    QMessageBox::StandardButton byDefault = QMessageBox::NoButton;
    ModalScript script;
    script.on<QMessageBox>("erase question", [&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        informative = box->informativeText();
        yes = box->button(QMessageBox::Yes)->text().remove(QLatin1Char('&'));
        no = box->button(QMessageBox::No)->text().remove(QLatin1Char('&'));
        byDefault = box->standardButton(box->defaultButton());
        switch (GetParam().answer) {
            case EraseAnswer::No:
                box->button(QMessageBox::No)->click();
                break;
            case EraseAnswer::Escape:
                QTest::keyClick(box, Qt::Key_Escape);
                break;
            case EraseAnswer::Yes:
                box->button(QMessageBox::Yes)->click();
                break;
        }
    });
    script.start();
    Button4->click();
    ASSERT_TRUE(script.waitFinished()) << script.failure();

    EXPECT_EQ(title, QStringLiteral("TALVENO"));
    EXPECT_EQ(text, QStringLiteral("Los datos descargados no han sido guardados. Si borra la "
                                   "memoria de la barra, se perderán."));
    EXPECT_EQ(informative, QStringLiteral("¿Desea borrarlos de todos modos?"));
    EXPECT_EQ(yes, QStringLiteral("Sí"));
    EXPECT_EQ(no, QStringLiteral("No"));
    EXPECT_EQ(byDefault, QMessageBox::No);

    if (GetParam().answer != EraseAnswer::Yes) {
        // Saved now, BORRAR erases at once; an erase the answer let through
        // would show as a second 0x33.
        ASSERT_TRUE(saveAs(QStringLiteral("datos.txt")).has_value());
        Button4->click();
    }
    ASSERT_TRUE(bar->waitForReceived(2, 10s));
    EXPECT_EQ(bar->received(), "83");
    EXPECT_EQ(watcher.appearancesOf("QMessageBox"), 1);
    EXPECT_EQ(look(), complete());
}

INSTANTIATE_TEST_SUITE_P(MainWindow, EraseUnsaved,
                         ::testing::Values(EraseCase{"NoKeepsTheMemory", EraseAnswer::No},
                                           EraseCase{"EscapeKeepsTheMemory", EraseAnswer::Escape},
                                           EraseCase{"YesErases", EraseAnswer::Yes}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, BorrarAfterSavingErasesAtOnce) {
    ASSERT_TRUE(startReady());
    ASSERT_TRUE(downloadAll());
    ASSERT_TRUE(saveAs(QStringLiteral("datos.txt")).has_value());
    Button4->click();
    ASSERT_TRUE(bar->waitForReceived(2, 10s));
    EXPECT_EQ(bar->received(), "83");
    EXPECT_EQ(watcher.appearancesOf("QMessageBox"), 0);
}

// ---------------------------------------------------------------------------
// The frame

TEST_F(MainWindow, CanBeMinimizedButNeitherResizedNorMaximized) {
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("TALVENO"));
}

}  // namespace

}  // namespace talveno::uitest
