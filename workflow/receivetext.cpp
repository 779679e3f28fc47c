#include "receivetext.h"

#include <cstring>

namespace talveno {

void ReceiveText::noteSeparatorAt(std::size_t crPosition) {
    ++separators_;
    if (separatorPositions_.size() < indexedLines_) {
        separatorPositions_.push_back(crPosition);
    }
}

void ReceiveText::append(std::string_view bytes) {
    if (bytes.empty()) {
        return;
    }
    const std::size_t start = text_.size();
    // A CR at the end of the previous chunk pairs with an LF opening this one.
    const bool crBefore = start > 0 && text_.back() == '\r';
    text_.append(bytes.data(), bytes.size());

    const char* base = text_.data();
    const char* end = base + text_.size();
    const char* p = base + start;
    while (p < end) {
        const void* hit = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (hit == nullptr) {
            break;
        }
        const char* lf = static_cast<const char*>(hit);
        const std::size_t at = static_cast<std::size_t>(lf - base);
        if (at == start ? crBefore : lf[-1] == '\r') {
            noteSeparatorAt(at - 1);
        }
        p = lf + 1;
    }
}

std::size_t ReceiveText::lineCount() const {
    if (text_.empty()) {
        return 0;
    }
    const bool endsWithSeparator =
        text_.size() >= 2 && text_[text_.size() - 2] == '\r' && text_.back() == '\n';
    return separators_ + (endsWithSeparator ? 0 : 1);
}

std::string_view ReceiveText::line(std::size_t i) const {
    if (i >= indexedLines_ || i > separatorPositions_.size() || i >= lineCount()) {
        return {};
    }
    const std::size_t begin = i == 0 ? 0 : separatorPositions_[i - 1] + 2;
    const std::size_t end = i < separatorPositions_.size() ? separatorPositions_[i] : text_.size();
    return std::string_view(text_).substr(begin, end - begin);
}

}  // namespace talveno
