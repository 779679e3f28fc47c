// The Help and About windows: their texts, and the ways they close.
#include <gtest/gtest.h>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <functional>

#include "ABOUTFORM.h"
#include "Unit2.h"
#include "modalscript.h"

namespace {

using talveno::uitest::ModalScript;

QStringList helpLines(const TForm2& help) {
    QStringList lines;
    const auto* text = help.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
        lines << block.text();
    }
    return lines;
}

TEST(HelpWindow, HoldsTheFortyFiveLinesWithTheSettingsLinedUpByBlanks) {
    TForm2 help;
    const QStringList lines = helpLines(help);
    ASSERT_EQ(lines.size(), 45);
    EXPECT_EQ(lines[0], QStringLiteral("Ayuda para el uso de este programa:"));
    // Lines 28 to 32: the blanks after each colon line the values up.
    EXPECT_EQ(lines[27], QStringLiteral("Baud rate:") + QString(10, ' ') + QStringLiteral("9600"));
    EXPECT_EQ(lines[28], QStringLiteral("Data Bits:") + QString(17, ' ') + QStringLiteral("8"));
    EXPECT_EQ(lines[29], QStringLiteral("Stop bits:") + QString(18, ' ') + QStringLiteral("1"));
    EXPECT_EQ(lines[30], QStringLiteral("Parity:") + QString(16, ' ') + QStringLiteral("NONE"));
    EXPECT_EQ(lines[31],
              QStringLiteral("Flow control:") + QString(6, ' ') + QStringLiteral("NONE"));
    for (const int empty : {1, 26, 32, 38}) {
        EXPECT_TRUE(lines[empty].isEmpty()) << "line " << empty + 1;
    }
    for (int contact = 39; contact < 45; ++contact) {
        EXPECT_FALSE(lines[contact].isEmpty()) << "line " << contact + 1;
    }
    EXPECT_EQ(help.windowTitle(), QStringLiteral("Ayuda"));
    EXPECT_FALSE(help.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->isReadOnly());
}

TEST(AboutWindow, ShowsTheProductNameAndVersion) {
    TForm3 about;
    const auto text = [&](const char* name) {
        return about.findChild<QLabel*>(QString::fromLatin1(name))->text();
    };
    EXPECT_EQ(about.windowTitle(), QStringLiteral("ACERCA DE......"));
    EXPECT_EQ(text("ProductName"), QStringLiteral("TALVENO, descargador de datos  de"));
    EXPECT_EQ(text("Label4"), QStringLiteral("barra de medición de intercepción PAR"));
    EXPECT_EQ(text("Version"), QStringLiteral("Version 1.1"));
    EXPECT_EQ(text("Label1"), QStringLiteral("Propiedad de: "));
    EXPECT_TRUE(about.findChild<QPushButton*>(QStringLiteral("OKButton"))->isDefault());
}

struct CloseCase {
    const char* name;
    std::function<void(TForm3*)> close;
    friend void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.name; }
};

class AboutCloses : public ::testing::TestWithParam<CloseCase> {};

TEST_P(AboutCloses, AndTheModalCallReturns) {
    TForm3 about;
    ModalScript script;
    script.on<TForm3>("About", GetParam().close);
    script.start();
    about.exec();
    ASSERT_TRUE(script.waitFinished()) << script.failure();
    EXPECT_FALSE(about.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    AboutWindow, AboutCloses,
    ::testing::Values(
        CloseCase{"OkButton",
                  [](TForm3* about) {
                      about->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
                  }},
        CloseCase{"EnterKey", [](TForm3* about) { QTest::keyClick(about, Qt::Key_Return); }},
        CloseCase{"CloseBox", [](TForm3* about) { about->close(); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
