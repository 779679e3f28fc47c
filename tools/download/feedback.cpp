#include "feedback.h"

#include <algorithm>
#include <cstdio>

#include "workflow.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace talveno::download {

namespace {

using Clock = std::chrono::steady_clock;

// Redrawing more often than this only costs time; the eye sees no more.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

void put(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

std::string minutesAndSeconds(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

bool Feedback::standardErrorIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) == 1;
#endif
}

void Feedback::started() {
    start_ = Clock::now();
    lastDraw_ = start_ - kRedrawInterval;
}

void Feedback::progress(std::size_t lines, std::size_t bytes) {
    if (quiet_ || !terminal_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    // The last redraw before completion must not be skipped, or the bar
    // would stay short of 1000.
    if (now - lastDraw_ < kRedrawInterval && lines < kReadingCount) {
        return;
    }
    lastDraw_ = now;
    draw(lines, bytes, now);
}

void Feedback::draw(std::size_t lines, std::size_t bytes, Clock::time_point now) {
    const std::size_t shown = std::min(lines, kReadingCount);
    const int filled = static_cast<int>(shown * kBarWidth / kReadingCount);
    const double elapsed = std::chrono::duration<double>(now - start_).count();

    std::string line =
        "\r[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] ";
    char counts[64];
    std::snprintf(counts, sizeof counts, "%4zu/%zu lecturas", shown, kReadingCount);
    line += counts;
    if (elapsed > 0.0 && bytes > 0 && lines > 0) {
        const double bytesPerSecond = static_cast<double>(bytes) / elapsed;
        const double bytesPerLine = static_cast<double>(bytes) / static_cast<double>(lines);
        const double left =
            static_cast<double>(kReadingCount - shown) * bytesPerLine / bytesPerSecond;
        char rate[32];
        std::snprintf(rate, sizeof rate, "  %7.0f B/s", bytesPerSecond);
        line += rate;
        line += "  quedan " + minutesAndSeconds(left);
    }
    // Clears what a longer earlier drawing left at the end of the line.
    line += "\x1b[K";
    put(line);
    barShown_ = true;
}

void Feedback::endProgressLine() {
    if (barShown_) {
        put("\n");
        barShown_ = false;
    }
}

void Feedback::note(const std::string& text) {
    if (quiet_) {
        return;
    }
    endProgressLine();
    put(text + "\n");
}

void Feedback::error(const std::string& text) {
    endProgressLine();
    put("talveno-download: " + text + "\n");
}

}  // namespace talveno::download
