// What the user sees of a download, all of it on standard error (standard
// output is kept for what was asked for: --help, --version, --list-ports).
//
// On a terminal the progress is a bar redrawn in place: lines received of
// 1000, bytes per second and the time left at the rate the line has shown so
// far. Elsewhere (a pipe, a log file) there is no progress, only whole lines.
// Errors always show, one line each, "talveno-download: " first; everything
// else is left out with --quiet.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace talveno::download {

class Feedback {
public:
    Feedback(bool quiet, bool terminal) : quiet_(quiet), terminal_(terminal) {}

    // Whether standard error is a terminal.
    static bool standardErrorIsTerminal();

    // The request has gone out: the clock for the rates starts now.
    void started();
    // After each chunk: the receive text's line count and size.
    void progress(std::size_t lines, std::size_t bytes);
    // An informative line (left out with --quiet).
    void note(const std::string& text);
    // An error line, always shown.
    void error(const std::string& text);

private:
    void endProgressLine();
    void draw(std::size_t lines, std::size_t bytes, std::chrono::steady_clock::time_point now);

    bool quiet_;
    bool terminal_;
    bool barShown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace talveno::download
