// The port group: the automatic search over the port list, the manual choice and "com.ini".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/com_ini.h"
#include "link/port_group.h"
#include "test_support.h"

using namespace etc;
using namespace etc::link;
using namespace std::chrono_literals;
using test::FakePort;
using test::textReply;

namespace {

using test::TempDir;

struct SearchRig {
    VirtualClock clock;
    FakePort port{clock};
    test::ScriptedPrompter prompter;
    RequestEngine engine{port, clock, prompter};
    test::RecordingDesktop desktop;
    TempDir dir;
    PortGroup group;
    std::vector<std::string> versions;

    explicit SearchRig(std::vector<std::string> ports = windowsPortList())
        : group(engine, prompter, desktop, dir.path.string(), std::move(ports)) {
        group.versionFound = [this](const std::string& v) { versions.push_back(v); };
    }
    std::vector<std::string> probedPorts() const {
        std::vector<std::string> names;
        for (const auto& w : port.writes)
            names.push_back(w.port);
        return names;
    }
};

TEST(PortSearch, FindsTheFirstPortThatAnswersAndKeepsItOpen) {
    SearchRig rig;
    rig.port.openable = {"COM4", "COM9"};
    rig.port.responder = [](const std::string& name, const Bytes&) -> std::optional<Bytes> {
        if (name == "COM9")
            return textReply('V', "1EA1AB1AA");
        return std::nullopt;
    };
    rig.group.autoSearch();
    EXPECT_TRUE(rig.group.searching());
    // COM1..COM3 cannot be opened (60 ms apart); COM4 opens but stays silent and is probed until the
    // engine gives up on it; then the search goes on and finds COM9.
    rig.clock.advance(10s);
    EXPECT_FALSE(rig.group.searching());
    EXPECT_EQ(rig.group.editText(), "COM9");
    EXPECT_EQ(rig.versions, std::vector<std::string>{"1EA1AB1AA"});
    EXPECT_TRUE(rig.port.isOpen());
    const auto probed = rig.probedPorts();
    ASSERT_FALSE(probed.empty());
    EXPECT_EQ(std::count(probed.begin(), probed.end(), "COM4"), 6);
    EXPECT_EQ(probed.back(), "COM9");
    EXPECT_TRUE(rig.prompter.shown.empty());
    // The stored port name is not changed by the search: only "Save" does that.
    EXPECT_EQ(rig.engine.portName(), "COM1");
}

TEST(PortSearch, ProbesTheFirstPortAfterTheStepAndPassesOverClosedPorts60msApart) {
    SearchRig rig;
    rig.port.openable = {"COM3"};
    rig.port.responder = [](const std::string&, const Bytes&) { return textReply('V', "1EA1AB1AA"); };
    rig.group.autoSearch();
    rig.clock.advance(79ms);
    EXPECT_TRUE(rig.port.writes.empty());
    // COM1 fails at 80 ms, COM2 at 140 ms, COM3 opens at 200 ms.
    rig.clock.advance(121ms);
    ASSERT_EQ(rig.port.writes.size(), 1u);
    EXPECT_EQ(rig.port.writes[0].at, 200ms);
    EXPECT_EQ(rig.port.writes[0].bytes, request::version());
    EXPECT_FALSE(rig.engine.online());  // passing over unopenable ports takes the tool offline
}

TEST(PortSearch, NoPortAtAllWarnsOnceAfterTwoPasses) {
    SearchRig rig;
    rig.port.openable = {};
    rig.group.autoSearch();
    rig.clock.advance(80ms + 39 * 60ms - 1ms);
    EXPECT_TRUE(rig.prompter.shown.empty());
    EXPECT_TRUE(rig.group.searching());
    rig.clock.advance(1ms);
    ASSERT_EQ(rig.prompter.shown.size(), 1u);
    EXPECT_EQ(
        rig.prompter.shown[0].text,
        "No Com port or connection was found\r\nPlease check USB cable and that the Power(12V) is connected "
        "to ECU !!!");
    EXPECT_EQ(rig.prompter.shown[0].kind, MessageKind::Warning);
    EXPECT_FALSE(rig.group.searching());
    rig.clock.advance(10s);
    EXPECT_EQ(rig.prompter.shown.size(), 1u);
    EXPECT_FALSE(rig.engine.stepTimer().isActive());
}

TEST(PortSearch, SilentPortsOnlyEndTheSearchWithTheWarning) {
    SearchRig rig({"A", "B"});
    rig.port.openable = {"A", "B"};
    rig.group.autoSearch();
    rig.clock.advance(60s);
    EXPECT_FALSE(rig.group.searching());
    ASSERT_EQ(rig.prompter.shown.size(), 1u);
    EXPECT_EQ(rig.prompter.shown[0].text, text::kNoPortFound);
    // Two passes over two ports, six probes each.
    EXPECT_EQ(rig.port.writes.size(), 24u);
}

TEST(PortSearch, ClosesAnOpenPortBeforeEveryStep) {
    SearchRig rig;
    rig.port.openable = {"COM1", "COM2"};
    ASSERT_FALSE(rig.port.open("COM1"));
    rig.port.responder = [](const std::string& name, const Bytes&) -> std::optional<Bytes> {
        if (name == "COM1")
            return textReply('V', "1EA1AB1AA");
        return std::nullopt;
    };
    rig.group.autoSearch();
    rig.clock.advance(200ms);
    EXPECT_EQ(rig.port.openedNames, (std::vector<std::string>{"COM1", "COM1"}));
    EXPECT_EQ(rig.group.editText(), "COM1");
}

TEST(PortGroupActions, ManualChoiceSaveAndTheirMessages) {
    SearchRig rig;
    rig.group.showManualSelect();
    EXPECT_TRUE(rig.group.manualPanelShown());
    rig.group.manualOk(6);
    EXPECT_FALSE(rig.group.manualPanelShown());
    EXPECT_EQ(rig.group.editText(), "COM7");
    rig.group.showManualSelect();
    rig.group.manualCancel();
    EXPECT_EQ(rig.group.editText(), "COM7");

    EXPECT_TRUE(rig.group.save());
    EXPECT_EQ(rig.engine.portName(), "COM7");
    const auto stored = readComIni(rig.dir.path / "com.ini");
    EXPECT_EQ(stored.portName, "COM7");
    EXPECT_TRUE(stored.secondRecordRead);

    rig.group.setEditText("");
    EXPECT_FALSE(rig.group.save());
    ASSERT_EQ(rig.prompter.shown.size(), 1u);
    EXPECT_EQ(rig.prompter.shown[0].text,
              "Please click on the Auto search button\r\nor select manually the Com port !!!");
}

TEST(PortGroupActions, UnwritableComIniKeepsThePortName) {
    SearchRig rig;
    std::filesystem::create_directories(rig.dir.path / "com.ini");  // a folder where the file should be
    rig.group.setEditText("COM12");
    EXPECT_TRUE(rig.group.save());
    EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{"Write Error File: com.ini"});
    EXPECT_EQ(rig.engine.portName(), "COM1");
}

TEST(PortGroupActions, ReadPortSettingFeedsTheEngineAndTheButton) {
    SearchRig rig;
    EXPECT_EQ(rig.group.readPortSetting({"-2", "-5"}), "COM5");
    EXPECT_EQ(rig.engine.portName(), "COM5");
    EXPECT_EQ(rig.group.portButtonCaption(), "COM5");
    ASSERT_TRUE(writeComIni(rig.dir.path / "com.ini", "/dev/ttyUSB0"));
    EXPECT_EQ(rig.group.readPortSetting({"-2"}), "/dev/ttyUSB0");
}

TEST(PortGroupActions, DeviceManagerNeedsComViewBat) {
    SearchRig rig;
    rig.group.openDeviceManager();
    ASSERT_EQ(rig.desktop.opened.size(), 1u);
    EXPECT_EQ(std::filesystem::path(rig.desktop.opened[0]).filename(), "Com_view.bat");
    EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{"Can't find:  Com_view.bat"});
    rig.desktop.existing.push_back(rig.desktop.opened[0]);
    rig.group.openDeviceManager();
    EXPECT_EQ(rig.prompter.shown.size(), 1u);
}

}  // namespace

namespace {

TEST(PortSearch, WorksWhileTheToolIsPolling) {
    SearchRig rig;
    rig.port.openable = {"COM1", "COM2"};
    rig.port.responder = [](const std::string& name, const Bytes& f) -> std::optional<Bytes> {
        if (name == "COM2" && f[0] == 'V')
            return textReply('V', "1EA1AB1AA");
        return std::nullopt;
    };
    ASSERT_FALSE(rig.port.open("COM1"));
    rig.engine.sendLivePoll();  // polling a silent module
    rig.group.autoSearch();
    rig.clock.advance(20s);
    EXPECT_FALSE(rig.group.searching());
    EXPECT_EQ(rig.group.editText(), "COM2");
    EXPECT_EQ(rig.port.writes.back().bytes, request::version());
    EXPECT_EQ(rig.port.writes.back().port, "COM2");
}

}  // namespace

namespace {

TEST(PortSearch, ProbesAt9600EvenAfterAConnectSwitchedTo115200) {
    SearchRig rig;
    rig.port.openable = {"COM3"};
    rig.port.responder = [](const std::string&, const Bytes&) { return textReply('V', "1EA1AB1AA"); };
    rig.port.setBaudRate(kFastBaud);
    rig.group.autoSearch();
    rig.clock.advance(300ms);
    ASSERT_FALSE(rig.port.writes.empty());
    EXPECT_EQ(rig.port.writes.back().baud, kSlowBaud);
    EXPECT_EQ(rig.group.editText(), "COM3");
}

TEST(PortGroupActions, PortNamedOnTheCommandLineWinsOverComIni) {
    SearchRig rig;
    ASSERT_TRUE(writeComIni(rig.dir.path / "com.ini", "COM4"));
    rig.group.readPortSetting({});
    rig.group.usePortName("/dev/ttyUSB1");
    EXPECT_EQ(rig.engine.portName(), "/dev/ttyUSB1");
    EXPECT_EQ(rig.group.portButtonCaption(), "/dev/ttyUSB1");
    EXPECT_EQ(rig.group.editText(), "/dev/ttyUSB1");
}

}  // namespace
