#include "memotext.h"

namespace talveno::ui {

namespace {

constexpr char16_t kControlPictures = 0x2400;  // U+2400..U+241F: pictures of 0x00..0x1F
constexpr char16_t kDeletePicture = 0x2421;
constexpr unsigned char kDelete = 0x7F;

}  // namespace

QString memoTextFromBytes(std::string_view bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t') {
            *out++ = QChar(static_cast<char16_t>(kControlPictures + byte));
        } else if (byte == kDelete) {
            *out++ = QChar(kDeletePicture);
        } else {
            *out++ = QChar(static_cast<char16_t>(byte));
        }
    }
    return text;
}

std::string bytesFromMemoText(QStringView text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit <= 0xFF) {
            bytes.push_back(static_cast<char>(unit));
        } else if (unit >= kControlPictures && unit < kControlPictures + 0x20) {
            bytes.push_back(static_cast<char>(unit - kControlPictures));
        } else if (unit == kDeletePicture) {
            bytes.push_back(static_cast<char>(kDelete));
        } else {
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
            }
            bytes.push_back('?');
        }
    }
    return bytes;
}

}  // namespace talveno::ui
