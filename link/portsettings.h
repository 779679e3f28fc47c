// The serial port's settings, as the window is designed and as the port
// settings dialog changes them, and the port names of this system.
#pragma once

#include <QString>

namespace talveno::link {

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };
// The dialog's "Flow control" choices; Custom keeps the individual flags.
//   Hardware  RTS/CTS: output held back by CTS, RTS raised and lowered by the
//             system as its input buffer fills (outCtsFlow, controlRts
//             Handshake); no XON/XOFF.
//   Software  XON/XOFF in both directions, no line flow.
//   None      no flow control of any kind (the design).
// In all three DTR is held off and output is not held back by DSR.
enum class FlowControl { Hardware, Software, None, Custom };
enum class LineControl { Disable, Enable, Handshake };  // DTR and RTS

struct PortSettings {
    QString port = QStringLiteral("COM1");
    qint32 baudRate = 9600;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
    Parity parity = Parity::None;
    // Individual flow settings. The design holds DTR and RTS off and uses
    // no flow control of any kind.
    bool outCtsFlow = false;
    bool outDsrFlow = false;
    LineControl controlDtr = LineControl::Disable;
    LineControl controlRts = LineControl::Disable;
    bool xonXoffOut = false;
    bool xonXoffIn = false;

    // Which of the dialog's flow choices these flags make up; Custom when
    // they make up none of the other three.
    FlowControl flowControl() const;
    // Sets the flags for one of the dialog's choices; Custom leaves them.
    void setFlowControl(FlowControl choice);

    friend bool operator==(const PortSettings&, const PortSettings&) = default;
};

// The device a port name stands for. On Windows a name is used as it
// stands. Elsewhere "COMn" (n from 1, any case) is the n-th serial device,
// /dev/ttyS(n-1); a path (beginning with "/", "./" or "../") is used as it
// stands, a symbolic link too; any other name is looked for in /dev
// ("ttyUSB0" is /dev/ttyUSB0, "pts/3" is /dev/pts/3). An empty name stays
// empty: no device has it.
QString devicePath(const QString& portName);

}  // namespace talveno::link
