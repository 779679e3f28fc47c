// The Setup dialog, driven through its real widgets: what it shows, what it
// gives back, and that the choices made in it reach the device.
#include <dirent.h>
#include <termios.h>

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <cerrno>

#include "harness.h"
#include "linesetup.h"
#include "setupdialog.h"

namespace talveno::link {
namespace {

using namespace testing;

template <typename T>
T* part(QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QStringList entries(const QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) {
        texts << combo->itemText(i);
    }
    return texts;
}

// Picks an entry with the arrow keys, as a user would.
void choose(QComboBox* combo, const QString& text) {
    const int target = combo->findText(text);
    ASSERT_GE(target, 0) << text.toStdString();
    for (int presses = 0; presses < combo->count() && combo->currentIndex() != target; ++presses) {
        QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    }
    EXPECT_EQ(combo->currentIndex(), target) << text.toStdString();
}

// Replaces what an editable list shows by typing.
void type(QComboBox* combo, const QString& text) {
    ASSERT_NE(combo->lineEdit(), nullptr);
    QTest::keyClick(combo->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(combo->lineEdit(), text);
}

TEST(SetupDialog, ShowsItsOwnTextsAndEntries) {
    SetupDialog dialog{PortSettings{}};
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Setup"));
    auto* group = part<QGroupBox>(dialog, "settingsGroup");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), QStringLiteral(" Settings "));
    auto* form = qobject_cast<QFormLayout*>(group->layout());
    ASSERT_NE(form, nullptr);

    const struct {
        const char* objectName;
        const char* label;
        QStringList entries;  // empty: the machine's ports
    } lists[] = {
        {"portCombo", "Port", {}},
        {"baudCombo",
         "Baud rate",
         {"Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
          "56000", "57600", "115200", "128000", "256000"}},
        {"dataBitsCombo", "Data bits", {"5", "6", "7", "8"}},
        {"stopBitsCombo", "Stop bits", {"1", "1.5", "2"}},
        {"parityCombo", "Parity", {"None", "Odd", "Even", "Mark", "Space"}},
        {"flowCombo", "Flow control", {"Hardware", "Software", "None", "Custom"}},
    };
    for (const auto& list : lists) {
        auto* combo = part<QComboBox>(dialog, list.objectName);
        ASSERT_NE(combo, nullptr);
        auto* label = qobject_cast<QLabel*>(form->labelForField(combo));
        ASSERT_NE(label, nullptr) << list.objectName;
        EXPECT_EQ(label->text(), QString::fromLatin1(list.label));
        if (!list.entries.isEmpty()) {
            EXPECT_EQ(entries(combo), list.entries) << list.objectName;
        }
    }

    auto* ok = part<QPushButton>(dialog, "okButton");
    auto* cancel = part<QPushButton>(dialog, "cancelButton");
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    dialog.show();
    EXPECT_LE(dialog.width(), 500);
}

struct ShownCase {
    const char* name;
    std::function<void(PortSettings&)> current;
    QStringList shown;  // port, baud, data bits, stop bits, parity, flow
};
void PrintTo(const ShownCase& c, std::ostream* os) {
    *os << c.name;
}

const ShownCase kShownCases[] = {
    {"DesignSettings", [](PortSettings&) {}, {"COM1", "9600", "8", "1", "None", "None"}},
    {"NoSuchDeviceAndAnotherFormat",
     [](PortSettings& s) {
         s.port = QStringLiteral("/dev/ttyUSB7");
         s.baudRate = 19200;
         s.dataBits = 7;
         s.stopBits = StopBits::OneAndHalf;
         s.parity = Parity::Mark;
         s.setFlowControl(FlowControl::Hardware);
     },
     {"/dev/ttyUSB7", "19200", "7", "1.5", "Mark", "Hardware"}},
    {"RateNotListed",
     [](PortSettings& s) {
         s.baudRate = 250000;
         s.stopBits = StopBits::Two;
         s.parity = Parity::Space;
         s.setFlowControl(FlowControl::Software);
     },
     {"COM1", "250000", "8", "2", "Space", "Software"}},
    {"FlowOfNoChoice",
     [](PortSettings& s) {
         s.xonXoffOut = true;
         s.controlDtr = LineControl::Enable;
     },
     {"COM1", "9600", "8", "1", "None", "Custom"}},
};

class SetupDialogOpens : public ::testing::TestWithParam<ShownCase> {};

// It opens showing the current settings, and OK with nothing changed gives
// them back whole, individual flow flags included.
TEST_P(SetupDialogOpens, ShowingTheCurrentSettings) {
    PortSettings current;
    GetParam().current(current);
    SetupDialog dialog(current);
    QStringList shown;
    for (const char* name :
         {"portCombo", "baudCombo", "dataBitsCombo", "stopBitsCombo", "parityCombo", "flowCombo"}) {
        auto* combo = part<QComboBox>(dialog, name);
        ASSERT_NE(combo, nullptr);
        shown << combo->currentText();
    }
    EXPECT_EQ(shown, GetParam().shown);
    EXPECT_EQ(dialog.settings(), current);
}

INSTANTIATE_TEST_SUITE_P(Currents, SetupDialogOpens, ::testing::ValuesIn(kShownCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SetupDialog, ChoicesReachTheDeviceAfterOk) {
    sim::SimulatedBar bar;
    ComPort port;
    {
        ModalHand<SetupDialog> hand([&](SetupDialog& dialog) {
            type(part<QComboBox>(dialog, "portCombo"), QString::fromStdString(bar.devicePath()));
            choose(part<QComboBox>(dialog, "baudCombo"), QStringLiteral("19200"));
            choose(part<QComboBox>(dialog, "stopBitsCombo"), QStringLiteral("2"));
            choose(part<QComboBox>(dialog, "flowCombo"), QStringLiteral("Hardware"));
            QTest::mouseClick(part<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        });
        port.showSetupDialog();
    }
    EXPECT_EQ(port.settings().port.toStdString(), bar.devicePath());
    EXPECT_EQ(port.settings().baudRate, 19200);
    EXPECT_EQ(port.settings().stopBits, StopBits::Two);
    EXPECT_EQ(port.settings().flowControl(), FlowControl::Hardware);

    port.open();
    const termios tio = bar.lineSettings();
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
    EXPECT_NE(tio.c_cflag & CRTSCTS, 0u);
}

// A pseudo-terminal keeps its line at 8 bits without parity whatever it is
// asked (Linux forces it), so a format chosen in the dialog that it cannot
// carry reaches it and is refused there, rather than quietly not applied.
TEST(SetupDialog, FormatChosenReachesTheDeviceWhichMayRefuseIt) {
    sim::SimulatedBar bar;
    ComPort port;
    PortSettings current;
    current.port = QString::fromStdString(bar.devicePath());
    port.setSettings(current);
    {
        ModalHand<SetupDialog> hand([&](SetupDialog& dialog) {
            choose(part<QComboBox>(dialog, "dataBitsCombo"), QStringLiteral("7"));
            choose(part<QComboBox>(dialog, "parityCombo"), QStringLiteral("Even"));
            QTest::mouseClick(part<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        });
        port.showSetupDialog();
    }
    EXPECT_EQ(port.settings().dataBits, 7);
    EXPECT_EQ(port.settings().parity, Parity::Even);
    try {
        port.open();
        ADD_FAILURE() << "opened";
    } catch (const PortError& e) {
        EXPECT_EQ(std::string(e.what()), portMessage("SetCommState function failed", EINVAL));
    }
    EXPECT_FALSE(port.isOpen());
}

struct DismissCase {
    const char* name;
    std::function<void(SetupDialog&)> dismiss;
};
void PrintTo(const DismissCase& c, std::ostream* os) {
    *os << c.name;
}

const DismissCase kDismissCases[] = {
    {"CancelButton",
     [](SetupDialog& d) {
         QTest::mouseClick(part<QPushButton>(d, "cancelButton"), Qt::LeftButton);
     }},
    {"CloseBox", [](SetupDialog& d) { d.close(); }},
    {"EscapeKey", [](SetupDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
};

class SetupDialogDismissed : public ::testing::TestWithParam<DismissCase> {};

TEST_P(SetupDialogDismissed, ChangesNothing) {
    sim::SimulatedBar bar;
    ComPort port;
    PortSettings before;
    before.port = QString::fromStdString(bar.devicePath());
    port.setSettings(before);
    {
        ModalHand<SetupDialog> hand([&](SetupDialog& dialog) {
            type(part<QComboBox>(dialog, "portCombo"), QStringLiteral("ttyUSB9"));
            choose(part<QComboBox>(dialog, "baudCombo"), QStringLiteral("115200"));
            choose(part<QComboBox>(dialog, "dataBitsCombo"), QStringLiteral("5"));
            choose(part<QComboBox>(dialog, "parityCombo"), QStringLiteral("Odd"));
            choose(part<QComboBox>(dialog, "flowCombo"), QStringLiteral("Hardware"));
            GetParam().dismiss(dialog);
            EXPECT_FALSE(dialog.isVisible());
        });
        port.showSetupDialog();
    }
    EXPECT_EQ(port.settings(), before);

    port.open();
    const termios tio = bar.lineSettings();
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
}

INSTANTIATE_TEST_SUITE_P(Ways, SetupDialogDismissed, ::testing::ValuesIn(kDismissCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SetupDialog, CustomRateIsTypedAndOnlyAWholeRateIsAccepted) {
    SetupDialog dialog{PortSettings{}};
    auto* baud = part<QComboBox>(dialog, "baudCombo");
    auto* ok = part<QPushButton>(dialog, "okButton");
    ASSERT_TRUE(baud && ok);
    EXPECT_FALSE(baud->isEditable());

    choose(baud, QStringLiteral("Custom"));
    ASSERT_TRUE(baud->isEditable());
    type(baud, QString());
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(baud->lineEdit(), QStringLiteral("25x0-000"));
    EXPECT_EQ(baud->currentText(), QStringLiteral("250000"));
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(dialog.settings().baudRate, 250000);

    choose(baud, QStringLiteral("110"));
    EXPECT_FALSE(baud->isEditable());
    EXPECT_EQ(dialog.settings().baudRate, 110);
}

TEST(SetupDialog, FlowChoiceSetsTheFlagsAndCustomKeepsThem) {
    PortSettings current;
    current.xonXoffIn = true;
    current.controlRts = LineControl::Enable;
    SetupDialog dialog(current);
    auto* flow = part<QComboBox>(dialog, "flowCombo");
    ASSERT_NE(flow, nullptr);
    EXPECT_EQ(flow->currentText(), QStringLiteral("Custom"));

    choose(flow, QStringLiteral("Hardware"));
    EXPECT_EQ(dialog.settings().flowControl(), FlowControl::Hardware);
    choose(flow, QStringLiteral("None"));
    EXPECT_EQ(dialog.settings().flowControl(), FlowControl::None);
    choose(flow, QStringLiteral("Custom"));
    EXPECT_EQ(dialog.settings(), current);
}

TEST(SetupDialog, PortListHoldsTheMachinesPortsAndTheCurrentOneAfterEachOpening) {
    PortSettings current;
    current.port = QStringLiteral("/dev/talveno-no-such-port");
    SetupDialog dialog(current);
    auto* ports = part<QComboBox>(dialog, "portCombo");
    ASSERT_NE(ports, nullptr);
    dialog.show();

    for (int opening = 0; opening < 2; ++opening) {
        ports->showPopup();
        ports->hidePopup();
        EXPECT_EQ(ports->currentText(), current.port);
        EXPECT_GE(ports->findText(current.port), 0);
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            const int index = ports->findText(info.portName());
            ASSERT_GE(index, 0) << info.portName().toStdString();
            EXPECT_EQ(
                ports->itemData(index, Qt::ToolTipRole).toString().contains(info.description()),
                true);
        }
    }
    EXPECT_EQ(dialog.settings().port, current.port);
}

TEST(SetupDialog, UnreadableListOfPortsIsARegistryError) {
    const QString missing = QStringLiteral("/sys/class/talveno-no-such-class");
    errno = 0;
    EXPECT_EQ(::opendir(missing.toLocal8Bit().constData()), nullptr);
    const int expected = errno;
    try {
        machinePorts(missing);
        ADD_FAILURE() << "no error";
    } catch (const PortError& e) {
        EXPECT_EQ(std::string(e.what()), portMessage("Registry error", expected));
    }
    EXPECT_NO_THROW(machinePorts());
}

}  // namespace
}  // namespace talveno::link
