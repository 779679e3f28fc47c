// How the bar's 8-bit text is shown in a text box and read back from it.
//
// A text box holds Unicode characters and treats some bytes specially (a NUL
// would end the text, a CR or LF would break the line), so each byte is
// shown as a character of its own that reads back as the same byte:
//   0x00..0x1F except TAB  the control pictures U+2400 + byte (NUL shows as
//                          U+2400, a lone CR as U+240D, a lone LF as U+240A)
//   0x7F                   U+2421 (the picture for DEL)
//   0x80..0xFF             Latin-1, U+0080..U+00FF
//   everything else        the character itself (TAB, 0x20..0x7E)
// A line of the box therefore holds one line of bytes, and an unedited line
// reads back byte for byte as it was set.
#pragma once

#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

namespace talveno::ui {

// The characters that show bytes.
QString memoTextFromBytes(std::string_view bytes);

// The bytes a line of characters stands for: the inverse of
// memoTextFromBytes(). A character the user typed that stands for no byte
// (above U+00FF and not one of the pictures above; a character outside the
// Basic Multilingual Plane counts once) becomes '?'.
std::string bytesFromMemoText(QStringView text);

}  // namespace talveno::ui
