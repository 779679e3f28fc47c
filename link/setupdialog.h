// The port settings dialog ("Setup"). It shows a settings value and gives
// one back; it never touches a port.
//
// A group " Settings " holds six labelled lists: "Port" (the machine's serial
// ports, refreshed each time the list is opened, each with its description
// and maker as tooltip; the current port is shown even when the machine has
// no such device, and any device name or path can be typed), "Baud rate"
// ("Custom" lets a rate be typed), "Data bits", "Stop bits", "Parity" and
// "Flow control" ("Custom" keeps the individual flow settings as they are).
// "OK" (the default button) is disabled while a typed rate is not a whole
// number above 0.
//
// Object names, for whoever drives the dialog: portCombo, baudCombo,
// dataBitsCombo, stopBitsCombo, parityCombo, flowCombo, settingsGroup,
// okButton, cancelButton.
#pragma once

#include <QDialog>
#include <QList>
#include <QSerialPortInfo>
#include <optional>

#include "portsettings.h"

class QComboBox;
class QPushButton;

namespace talveno::link {

// The machine's serial ports, as the "Port" list shows them. Throws
// PortError("Registry error (win error code: N)") when the system's list of
// terminal devices, ttyClassDir, cannot be read (N from opening it: ENOENT
// when sysfs is missing, EACCES when it may not be read).
QList<QSerialPortInfo> machinePorts(const QString& ttyClassDir = QStringLiteral("/sys/class/tty"));

class SetupDialog : public QDialog {
    Q_OBJECT
  public:
    // Throws PortError("Registry error (win error code: N)") when the
    // machine's list of serial ports cannot be read.
    explicit SetupDialog(const PortSettings& current, QWidget* parent = nullptr);

    // The settings as the dialog's lists now show them; the flow settings
    // and anything a list cannot show stay as they came in.
    PortSettings settings() const;

    // Runs the dialog modally: the chosen settings after OK, nothing after
    // Cancel or the close box. Throws as the constructor does.
    static std::optional<PortSettings> ask(QWidget* parent, const PortSettings& current);

  private:
    void baudChosen(int index);
    void updateOkButton();
    bool customRate() const;

    PortSettings current_;
    QComboBox* portCombo_;
    QComboBox* baudCombo_;
    QComboBox* dataBitsCombo_;
    QComboBox* stopBitsCombo_;
    QComboBox* parityCombo_;
    QComboBox* flowCombo_;
    QPushButton* okButton_;
    qint32 lastRate_;  // what "Custom" starts from
};

}  // namespace talveno::link
