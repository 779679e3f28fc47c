// Port names and the flow choices of the Setup dialog.
#include <gtest/gtest.h>

#include "portsettings.h"

namespace talveno::link {
namespace {

struct NameCase {
    const char* name;
    const char* portName;
    const char* path;
};
void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

const NameCase kNameCases[] = {
    {"Com1IsTheFirstSerialDevice", "COM1", "/dev/ttyS0"},
    {"Com2IsTheSecond", "COM2", "/dev/ttyS1"},
    {"ComNamesInAnyCase", "com10", "/dev/ttyS9"},
    {"Com0IsNoComName", "COM0", "/dev/COM0"},
    {"ComWithLeadingZeroIsNoComName", "COM01", "/dev/COM01"},
    {"ComWithoutNumberIsNoComName", "COM", "/dev/COM"},
    {"ComFollowedByMoreIsNoComName", "COM1x", "/dev/COM1x"},
    {"BareNameIsLookedForInDev", "ttyUSB0", "/dev/ttyUSB0"},
    {"NameWithFolderIsLookedForInDev", "pts/3", "/dev/pts/3"},
    {"DevicePathStands", "/dev/ttyUSB0", "/dev/ttyUSB0"},
    {"PseudoTerminalPathStands", "/dev/pts/3", "/dev/pts/3"},
    {"LinkPathStands", "/tmp/talveno-bar", "/tmp/talveno-bar"},
    {"RelativePathStands", "./bar", "./bar"},
    {"PathFromParentStands", "../bar", "../bar"},
    {"EmptyNameStaysEmpty", "", ""},
};

class DevicePath : public ::testing::TestWithParam<NameCase> {};

TEST_P(DevicePath, OfPortName) {
    EXPECT_EQ(devicePath(QString::fromUtf8(GetParam().portName)).toStdString(), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Names, DevicePath, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortSettings, DesignSettingsAreCom1At9600EightNoneOneWithoutFlowControl) {
    const PortSettings design;
    EXPECT_EQ(design.port, QStringLiteral("COM1"));
    EXPECT_EQ(design.baudRate, 9600);
    EXPECT_EQ(design.dataBits, 8);
    EXPECT_EQ(design.stopBits, StopBits::One);
    EXPECT_EQ(design.parity, Parity::None);
    EXPECT_EQ(design.controlDtr, LineControl::Disable);
    EXPECT_EQ(design.controlRts, LineControl::Disable);
    EXPECT_EQ(design.flowControl(), FlowControl::None);
}

TEST(PortSettings, EachFlowChoiceIsRecognisedAfterItIsMade) {
    for (FlowControl choice : {FlowControl::Hardware, FlowControl::Software, FlowControl::None}) {
        PortSettings settings;
        settings.xonXoffIn = true;  // a custom mixture to start from
        settings.setFlowControl(choice);
        EXPECT_EQ(settings.flowControl(), choice);
    }
}

TEST(PortSettings, HardwareFlowIsRtsCtsWithDtrHeldOff) {
    PortSettings settings;
    settings.setFlowControl(FlowControl::Hardware);
    EXPECT_TRUE(settings.outCtsFlow);
    EXPECT_EQ(settings.controlRts, LineControl::Handshake);
    EXPECT_EQ(settings.controlDtr, LineControl::Disable);
    EXPECT_FALSE(settings.outDsrFlow || settings.xonXoffIn || settings.xonXoffOut);
}

TEST(PortSettings, CustomFlowKeepsTheIndividualFlags) {
    PortSettings settings;
    settings.xonXoffOut = true;
    settings.controlRts = LineControl::Enable;
    const PortSettings before = settings;
    EXPECT_EQ(settings.flowControl(), FlowControl::Custom);
    settings.setFlowControl(FlowControl::Custom);
    EXPECT_EQ(settings, before);
}

}  // namespace
}  // namespace talveno::link
