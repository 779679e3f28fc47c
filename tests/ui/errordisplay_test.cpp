// The program-wide error display: the text it shows, the box it shows it in,
// and errors that reach it from a handler or from the event loop itself.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <stdexcept>

#include "errordisplay.h"
#include "modalscript.h"
#include "workflow.h"

namespace {

using talveno::uitest::ModalScript;

struct TextCase {
    const char* name;
    QString message;
    QString shown;
    friend void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }
};

class ErrorDisplayText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ErrorDisplayText, EndsWithAPeriodUnlessTheLastCharacterIsAPeriodOrBelowIt) {
    EXPECT_EQ(talveno::ui::errorDisplayText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    ErrorDisplay, ErrorDisplayText,
    ::testing::Values(
        TextCase{"Letter", QStringLiteral("Stream write error"),
                 QStringLiteral("Stream write error.")},
        TextCase{"PathEndingInALetter", QStringLiteral("Cannot create file /no/datos.txt"),
                 QStringLiteral("Cannot create file /no/datos.txt.")},
        TextCase{"ClosingBracketIsBelowThePeriod",
                 QStringLiteral("Unable to open com port (win error code: 2)"),
                 QStringLiteral("Unable to open com port (win error code: 2)")},
        TextCase{"Period", QStringLiteral("Listo."), QStringLiteral("Listo.")},
        TextCase{"HyphenIsBelowThePeriod", QStringLiteral("a-"), QStringLiteral("a-")},
        TextCase{"BlankIsBelowThePeriod", QStringLiteral("a "), QStringLiteral("a ")},
        TextCase{"SlashIsAboveThePeriod", QStringLiteral("/tmp/"), QStringLiteral("/tmp/.")},
        TextCase{"DigitIsAboveThePeriod", QStringLiteral("code 5"), QStringLiteral("code 5.")},
        TextCase{"AccentedLetter", QStringLiteral("operación"), QStringLiteral("operación.")},
        TextCase{"Empty", QString(), QString()}),
    [](const auto& info) { return std::string(info.param.name); });

struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// A script that notes the first message box and presses its OK.
void noteAndClose(ModalScript& script, ShownBox& shown) {
    script.on<QMessageBox>("error box", [&shown](QMessageBox* box) {
        shown = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        box->button(QMessageBox::Ok)->click();
    });
    script.start();
}

void expectErrorBox(const ShownBox& shown, const QString& text) {
    EXPECT_EQ(shown.title, QStringLiteral("TALVENO"));
    EXPECT_EQ(shown.text, text);
    EXPECT_EQ(shown.icon, QMessageBox::Critical);
    EXPECT_EQ(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

[[noreturn]] void failToCreateFile() {
    throw talveno::Error("Cannot create file /no/such/folder/datos.txt");
}

TEST(ErrorDisplay, AnErrorLeavingAHandlerEndsItThereAndIsShown) {
    ModalScript script;
    ShownBox shown;
    noteAndClose(script, shown);
    bool afterTheError = false;
    talveno::ui::runHandler(nullptr, [&] {
        failToCreateFile();
        afterTheError = true;
    });
    ASSERT_TRUE(script.waitFinished()) << script.failure();
    EXPECT_FALSE(afterTheError);
    expectErrorBox(shown, QStringLiteral("Cannot create file /no/such/folder/datos.txt."));
}

// An object whose event handling fails, as a handler that lets an error
// escape would.
class FailingReceiver : public QObject {
  public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw std::runtime_error("Fallo inesperado");
        }
        return QObject::event(event);
    }
};

TEST(ErrorDisplay, AnErrorEscapingIntoTheEventLoopIsShownAndTheProgramGoesOn) {
    ModalScript script;
    ShownBox shown;
    noteAndClose(script, shown);
    FailingReceiver receiver;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&receiver, &event));
    ASSERT_TRUE(script.waitFinished()) << script.failure();
    expectErrorBox(shown, QStringLiteral("Fallo inesperado."));

    QEvent ordinary(QEvent::None);
    QCoreApplication::sendEvent(&receiver, &ordinary);  // still usable
}

}  // namespace
