// The receive text: every byte read from the port since connect, in arrival
// order, with its line count kept up to date chunk by chunk.
//
// Lines are separated by CR LF pairs only; a lone CR or LF is an ordinary
// byte. Line i (from 0) is the text between the i-th and the (i+1)-th
// separator. The line count leaves out an empty last line: "" has 0 lines,
// "abc" 1, "abc\r\n" 1, "abc\r\nd" 2, "\r\n" 1.
//
// Appending costs time proportional to the bytes appended, whatever was
// received before; the positions of the first indexedLines lines are kept so
// that reading them costs nothing more.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace talveno {

class ReceiveText {
public:
    explicit ReceiveText(std::size_t indexedLines = 1000) : indexedLines_(indexedLines) {}

    void append(std::string_view bytes);

    std::size_t lineCount() const;
    // Number of CR LF pairs received.
    std::size_t separatorCount() const { return separators_; }
    // Line i, without its CR LF, for i below indexedLines and below lineCount().
    std::string_view line(std::size_t i) const;

    const std::string& bytes() const { return text_; }
    bool empty() const { return text_.empty(); }

private:
    void noteSeparatorAt(std::size_t crPosition);

    std::size_t indexedLines_;
    std::string text_;
    std::size_t separators_ = 0;
    std::vector<std::size_t> separatorPositions_;  // where the first separators' CRs stand
};

}  // namespace talveno
