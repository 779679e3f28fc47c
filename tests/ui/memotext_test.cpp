// The reading list box shows the bar's bytes as characters and reads them
// back: every byte value survives a real text box, and what the user types
// reads as the bytes it stands for.
#include <gtest/gtest.h>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <string>

#include "memotext.h"

namespace {

using talveno::ui::bytesFromMemoText;
using talveno::ui::memoTextFromBytes;

// What a text box holds in its first line after text was put in it.
std::string throughTextBox(const QString& text) {
    QPlainTextEdit box;
    box.setPlainText(text);
    EXPECT_EQ(box.document()->blockCount(), 1) << "the text broke the line";
    return bytesFromMemoText(box.document()->firstBlock().text());
}

TEST(MemoText, EveryByteValueComesBackFromATextBoxAsItWent) {
    std::string bytes;
    for (int value = 0; value < 256; ++value) {
        bytes.push_back(static_cast<char>(value));
    }
    EXPECT_EQ(throughTextBox(memoTextFromBytes(bytes)), bytes);
}

TEST(MemoText, EachByteValueAloneComesBackFromATextBox) {
    for (int value = 0; value < 256; ++value) {
        const std::string byte(1, static_cast<char>(value));
        EXPECT_EQ(throughTextBox(memoTextFromBytes(byte)), byte) << "byte " << value;
    }
}

TEST(MemoText, ControlBytesShowAsTheirPictures) {
    EXPECT_EQ(memoTextFromBytes(std::string("\0\r\n\x7f", 4)), QStringLiteral("␀␍␊␡"));
    EXPECT_EQ(memoTextFromBytes("1  512\t"), QStringLiteral("1  512\t"));
}

struct TypedCase {
    const char* name;
    QString typed;
    std::string bytes;
    friend void PrintTo(const TypedCase& c, std::ostream* out) { *out << c.name; }
};

class TypedText : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedText, ReadsAsTheBytesItStandsFor) {
    QPlainTextEdit box;
    box.insertPlainText(GetParam().typed);
    EXPECT_EQ(bytesFromMemoText(box.document()->firstBlock().text()), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    MemoText, TypedText,
    ::testing::Values(TypedCase{"PlainDigits", QStringLiteral("1  512\t"), "1  512\t"},
                      TypedCase{"AccentedLetter", QStringLiteral("ñé"), "\xF1\xE9"},
                      TypedCase{"NoBreakSpace", QString(QChar(0x00A0)), "\xA0"},
                      TypedCase{"NulPicture", QStringLiteral("␀"), std::string(1, '\0')},
                      TypedCase{"DeletePicture", QStringLiteral("␡"), "\x7F"},
                      TypedCase{"EuroSignHasNoByte", QStringLiteral("€"), "?"},
                      TypedCase{"EachCjkCharacterIsOneQuestionMark", QStringLiteral("日本"), "??"},
                      TypedCase{"CharacterBeyondTheBasicPlaneIsOne", QStringLiteral("a😀b"), "a?b"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
