#include "portsettings.h"

#include <QRegularExpression>

namespace talveno::link {

namespace {

struct FlowFlags {
    bool outCtsFlow;
    bool outDsrFlow;
    LineControl controlDtr;
    LineControl controlRts;
    bool xonXoffOut;
    bool xonXoffIn;

    friend bool operator==(const FlowFlags&, const FlowFlags&) = default;
};

// The individual flags each of the dialog's choices stands for. DTR stays
// off in all of them, as the design holds it; hardware flow is RTS/CTS.
constexpr FlowFlags kHardware{true,  false, LineControl::Disable, LineControl::Handshake,
                              false, false};
constexpr FlowFlags kSoftware{false, false, LineControl::Disable, LineControl::Disable, true, true};
constexpr FlowFlags kNone{false, false, LineControl::Disable, LineControl::Disable, false, false};

FlowFlags flagsOf(const PortSettings& s) {
    return {s.outCtsFlow, s.outDsrFlow, s.controlDtr, s.controlRts, s.xonXoffOut, s.xonXoffIn};
}

}  // namespace

FlowControl PortSettings::flowControl() const {
    const FlowFlags flags = flagsOf(*this);
    if (flags == kHardware) {
        return FlowControl::Hardware;
    }
    if (flags == kSoftware) {
        return FlowControl::Software;
    }
    if (flags == kNone) {
        return FlowControl::None;
    }
    return FlowControl::Custom;
}

void PortSettings::setFlowControl(FlowControl choice) {
    FlowFlags flags{};
    switch (choice) {
        case FlowControl::Hardware:
            flags = kHardware;
            break;
        case FlowControl::Software:
            flags = kSoftware;
            break;
        case FlowControl::None:
            flags = kNone;
            break;
        case FlowControl::Custom:
            return;
    }
    outCtsFlow = flags.outCtsFlow;
    outDsrFlow = flags.outDsrFlow;
    controlDtr = flags.controlDtr;
    controlRts = flags.controlRts;
    xonXoffOut = flags.xonXoffOut;
    xonXoffIn = flags.xonXoffIn;
}

QString devicePath(const QString& portName) {
#ifdef Q_OS_WIN
    return portName;
#else
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,8})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch match = comName.match(portName); match.hasMatch()) {
        return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
    }
    if (portName.isEmpty() || portName.startsWith(u'/') || portName.startsWith(u"./") ||
        portName.startsWith(u"../")) {
        return portName;
    }
    return QStringLiteral("/dev/") + portName;
#endif
}

}  // namespace talveno::link
