// The program-wide error display.
//
// Principles of operation
//   Every handler of the program's windows runs through runHandler(): an
//   error that leaves it ends the handler where it arose (what it already
//   changed stays) and is shown here, after which the program carries on.
//   Nothing reaches Qt's event loop. The display is a message box titled
//   "TALVENO" with the error icon and an OK button; the text is the error's
//   message, with a period added unless it already ends in a period or in a
//   character whose code is below that of the period (a closing bracket, a
//   blank, a line end, ...).
#pragma once

#include <QString>
#include <exception>

class QWidget;

namespace talveno::ui {

// The text the error display shows for message: message followed by "."
// when its last character's code is above that of the period. An empty
// message stays empty.
QString errorDisplayText(const QString& message);

// Shows message as the error box over parent (any window, or none) and
// returns when the user has closed it.
void showError(QWidget* parent, const QString& message);

// The message of an error that left a handler: what() read as UTF-8.
QString errorMessage(const std::exception& error);

// Runs handler; an exception derived from std::exception that leaves it is
// shown by showError() over parent. Never throws.
template <typename Handler>
void runHandler(QWidget* parent, Handler&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& error) {
        try {
            showError(parent, errorMessage(error));
        } catch (const std::exception&) {
            // No memory left even for the error box; the program carries on.
        }
    }
}

}  // namespace talveno::ui
