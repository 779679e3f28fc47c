// The port settings dialog ("Setup"). It shows a settings value and gives
// one back; it never touches a port.
#pragma once

#include <QDialog>
#include <optional>

#include "portsettings.h"

namespace talveno::link {

class SetupDialog : public QDialog {
    Q_OBJECT
public:
    // Throws PortError("Registry error (win error code: N)") when the
    // machine's list of serial ports cannot be read.
    explicit SetupDialog(const PortSettings& current, QWidget* parent = nullptr);

    // The settings as the dialog's lists now show them.
    PortSettings settings() const;

    // Runs the dialog modally: the chosen settings after OK, nothing after
    // Cancel or the close box.
    static std::optional<PortSettings> ask(QWidget* parent, const PortSettings& current);
};

}  // namespace talveno::link
