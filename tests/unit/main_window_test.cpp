// The main window's commands as the session carries them out: keys, the dashboard click, the
// up/download menu, the lock command with the caption mark, the manual.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/session.h"
#include "settings_support.h"
#include "sim/simulated_port.h"
#include "test_support.h"

using namespace etc;
using namespace std::chrono_literals;
using app::Key;
using Form = app::MainWindowState::MenuForm;

namespace {

struct WindowRig {
    test::TempDir temp{"etc_window"};
    const std::filesystem::path& dir = temp.path;
    link::VirtualClock clock;
    std::unique_ptr<sim::Module> module;
    std::unique_ptr<sim::SimulatedPort> port;
    test::ScriptedPrompter prompter;
    test::RecordingDesktop desktop;
    std::unique_ptr<app::Session> session;
    int frames = 0;

    explicit WindowRig(int userLevel = 4) {
        sim::ModuleConfig config;
        config.animate = false;
        config.userLevel = userLevel;
        module = std::make_unique<sim::Module>(clock, config);
        port = std::make_unique<sim::SimulatedPort>(clock, *module, std::vector<std::string>{"SIM"});
        app::SessionSetup setup;
        setup.programDir = dir;
        setup.portOverride = "SIM";
        setup.desktop = &desktop;
        session = std::make_unique<app::Session>(*port, clock, prompter, setup);
        session->liveFrameShown = [this](const live::LiveFrame&) { ++frames; };
    }
    app::Session& s() { return *session; }
    bool connect() {
        s().start();
        return clock.runUntil([&] { return frames > 0; }, 10s);
    }
    std::size_t writesOf(char letter) const {
        return static_cast<std::size_t>(
            std::count_if(port->writes().begin(), port->writes().end(),
                          [&](const sim::WriteRecord& w) { return w.bytes[0] == letter; }));
    }
};

TEST(MainWindow, CaptionCarriesTheDataNotLockedMarkUntilALock) {
    WindowRig rig;
    ASSERT_TRUE(rig.connect());
    EXPECT_EQ(rig.s().caption(), "OXT V1.05 ETC");
    EXPECT_EQ(rig.s().headerGradient().colour, app::kHeaderLocked.colour);
    rig.s().image.setCell(settings::SettingsImage::Table::Throttle_limit, 0, 10);
    rig.s().engine.setRequestPayload(link::request::cellWritePayload(24, 20, 1));
    rig.s().engine.sendCellWrite();
    EXPECT_EQ(rig.s().caption(),
              "OXT V1.05 ETC                                                DATA IS NOT LOCKED !!!");
    EXPECT_EQ(rig.s().headerGradient().colour, 9174014u);
    rig.clock.advance(50ms);

    rig.s().f7Button();
    rig.s().lockCommand();
    rig.clock.advance(200ms);
    EXPECT_EQ(rig.writesOf('L'), 1u);
    EXPECT_EQ(rig.s().caption(), "OXT V1.05 ETC");
    EXPECT_FALSE(rig.s().window.upDownMenuShown);
    EXPECT_TRUE(rig.s().window.mainButtonsEnabled);
    EXPECT_TRUE(rig.s().engine.pollTimer().isActive());
    EXPECT_TRUE(rig.module->settingsKept());
    // A second lock leaves the caption as it is.
    int changes = 0;
    rig.s().engine.hooks().dataNotLockedChanged = [&](bool) { ++changes; };
    rig.s().lockCommand();
    rig.clock.advance(200ms);
    EXPECT_EQ(rig.writesOf('L'), 2u);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(rig.s().caption(), "OXT V1.05 ETC");
}

TEST(MainWindow, LockIsRefusedWhileACurveIsNotRising) {
    WindowRig rig;
    ASSERT_TRUE(rig.connect());
    rig.s().image.setUserCurve(1, {0, 10, 20, 15});
    (void)rig.s().image.setValue("throttle_response_type_1", 2);
    rig.s().image.redrawCurve(1);
    ASSERT_TRUE(rig.s().image.curveWarning(1));
    EXPECT_TRUE(rig.s().keyPressed(Key::L, true));
    rig.clock.advance(300ms);
    EXPECT_EQ(rig.writesOf('L'), 0u);
    EXPECT_TRUE(rig.s().window.curveWarningHighlighted);
}

TEST(MainWindow, F7KeyFollowsTheMainButtonsButTheF7ButtonAlwaysOpensTheMenu) {
    WindowRig rig;
    ASSERT_TRUE(rig.connect());
    rig.s().window.setMainButtons(false);
    EXPECT_TRUE(rig.s().keyPressed(Key::F7, false));
    EXPECT_FALSE(rig.s().window.upDownMenuShown);
    rig.s().f7Button();
    EXPECT_TRUE(rig.s().window.upDownMenuShown);
    EXPECT_EQ(rig.s().window.upDownMenuForm, Form::Command);
    rig.s().cancelMenu();
    EXPECT_FALSE(rig.s().window.upDownMenuShown);
    EXPECT_TRUE(rig.s().window.mainButtonsEnabled);
    EXPECT_TRUE(rig.s().keyPressed(Key::F7, false));
    EXPECT_TRUE(rig.s().window.upDownMenuShown);
    EXPECT_FALSE(rig.s().window.mainButtonsEnabled);
}

TEST(MainWindow, F10AndTheDashboardToggleOnline) {
    WindowRig rig;
    ASSERT_TRUE(rig.connect());
    // Online: F10 goes offline and stops polling.
    rig.s().keyPressed(Key::F10, false);
    EXPECT_FALSE(rig.s().engine.online());
    EXPECT_FALSE(rig.port->isOpen());
    EXPECT_FALSE(rig.s().engine.pollTimer().isActive());
    // Offline with the maps shown: online again with the menu in its second form, nothing sent.
    const auto sent = rig.port->writes().size();
    rig.s().dashboardClicked();
    EXPECT_TRUE(rig.s().engine.online());
    EXPECT_TRUE(rig.s().window.upDownMenuShown);
    EXPECT_EQ(rig.s().window.upDownMenuForm, Form::GoingOnline);
    EXPECT_FALSE(rig.s().window.mainButtonsEnabled);
    rig.clock.advance(1s);
    EXPECT_EQ(rig.port->writes().size(), sent);
    // "Stay Offline" hides the menu and goes offline; the dashboard click goes offline too.
    rig.s().stayOffline();
    EXPECT_FALSE(rig.s().engine.online());
    EXPECT_TRUE(rig.s().window.mainButtonsEnabled);
    rig.s().keyPressed(Key::F10, false);
    EXPECT_TRUE(rig.s().engine.online());
    rig.s().dashboardClicked();
    EXPECT_FALSE(rig.s().engine.online());
}

TEST(MainWindow, DashboardClickAtUserLevelOnePollsAtOnce) {
    WindowRig rig(1);
    ASSERT_TRUE(rig.connect());
    rig.s().dashboardClicked();
    ASSERT_FALSE(rig.s().engine.online());
    rig.frames = 0;
    rig.s().dashboardClicked();
    EXPECT_TRUE(rig.s().engine.online());
    EXPECT_TRUE(rig.s().window.dashboard.valueDisplayEnabled());
    EXPECT_FALSE(rig.s().window.upDownMenuShown);
    ASSERT_TRUE(rig.clock.runUntil([&] { return rig.frames > 0; }, 1s));
    // No handshake: the first request after the click is the poll itself.
    EXPECT_EQ(rig.port->writes().back().bytes, link::request::livePoll());
}

TEST(MainWindow, AltKeysStartTransfersAndF4NeedsNoAlt) {
    WindowRig rig;
    ASSERT_TRUE(rig.connect());
    rig.s().window.optionsCancelEnabled = false;
    EXPECT_FALSE(rig.s().keyPressed(Key::S, false));
    EXPECT_TRUE(rig.s().keyPressed(Key::S, true));
    EXPECT_TRUE(rig.s().window.optionsCancelEnabled);
    EXPECT_TRUE(rig.s().window.progress.shown);
    rig.frames = 0;
    ASSERT_TRUE(rig.clock.runUntil([&] { return rig.frames > 0; }, 10s));
    EXPECT_FALSE(rig.s().keyPressed(Key::F4, true));
    EXPECT_FALSE(rig.s().window.optionsMenuShown);
    EXPECT_TRUE(rig.s().keyPressed(Key::F4, false));
    EXPECT_TRUE(rig.s().window.optionsMenuShown);
    bool ended = false;
    rig.s().download.ended = [&] { ended = true; };
    EXPECT_TRUE(rig.s().keyPressed(Key::P, true));
    EXPECT_EQ(rig.s().window.progress.caption, "Down_loading");
    EXPECT_TRUE(rig.clock.runUntil([&] { return ended; }, 20s));
}

TEST(MainWindow, ManualFromLanguageIni) {
    struct Case {
        const char* name;
        std::optional<std::vector<unsigned char>> languageIni;
        bool manualPresent;
        const char* opened;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"Dutch", std::vector<unsigned char>{3, 0, 0, 0}, true, "OXT ETC Handleiding V1.03.pdf", {}},
        {"English", std::vector<unsigned char>{1, 0, 0, 0}, true, "OXT ETC Manual V1.05.pdf", {}},
        {"three in a higher byte",
         std::vector<unsigned char>{0, 3, 0, 0},
         true,
         "OXT ETC Manual V1.05.pdf",
         {}},
        {"no Language.ini", std::nullopt, true, "OXT ETC Manual V1.05.pdf", {"Can't find: Language.ini"}},
        {"short Language.ini",
         std::vector<unsigned char>{3},
         true,
         "OXT ETC Manual V1.05.pdf",
         {"Can't find: Language.ini"}},
        {"no manual",
         std::vector<unsigned char>{0, 0, 0, 0},
         false,
         "OXT ETC Manual V1.05.pdf",
         {"Can't find:  OXT ETC Manual V1.05.pdf"}},
    };
    for (const auto& c : cases) {
        WindowRig rig;
        if (c.languageIni) {
            std::ofstream out(rig.dir / "Language.ini", std::ios::binary);
            out.write(reinterpret_cast<const char*>(c.languageIni->data()),
                      static_cast<std::streamsize>(c.languageIni->size()));
        }
        if (c.manualPresent)
            rig.desktop.existing.push_back((rig.dir / c.opened).string());
        EXPECT_TRUE(rig.s().keyPressed(Key::F1, false));
        if (c.manualPresent) {
            ASSERT_EQ(rig.desktop.opened.size(), 1u) << c.name;
            EXPECT_EQ(rig.desktop.opened[0], (rig.dir / c.opened).string()) << c.name;
        } else {
            EXPECT_TRUE(rig.desktop.opened.empty()) << c.name;
        }
        EXPECT_EQ(rig.prompter.texts(), c.messages) << c.name;
    }
}

TEST(MainWindow, SilentModuleEndsOfflineWithTheProgressPanelHidden) {
    WindowRig rig;
    rig.module->addFault(*sim::parseFault("drop:V:1"));
    for (int n = 2; n <= 6; ++n)
        rig.module->addFault({sim::FaultKind::Drop, 'V', n, {}});
    rig.s().start();
    EXPECT_TRUE(rig.s().window.progress.shown);
    rig.clock.advance(4s);
    EXPECT_FALSE(rig.s().engine.online());
    EXPECT_FALSE(rig.s().window.progress.shown);
    EXPECT_EQ(rig.s().engine.errorLabel(), "Errors: 6");
}

TEST(MainWindow, ErrorLabelAndPortButtonOpenThePortGroup) {
    WindowRig rig;
    rig.s().window.optionsMenuShown = true;
    rig.s().openPortGroup();
    EXPECT_TRUE(rig.s().window.optionsWindowShown);
    EXPECT_TRUE(rig.s().window.portGroupShown);
    EXPECT_FALSE(rig.s().window.optionsMenuShown);
    rig.s().closePortGroup();
    EXPECT_FALSE(rig.s().window.portGroupShown);
    EXPECT_TRUE(rig.s().window.optionsMenuShown);
}

TEST(MainWindow, F10GoingOnlineOpensTheMenuInItsSecondForm) {
    WindowRig rig;
    ASSERT_TRUE(rig.connect());
    rig.s().keyPressed(Key::F10, false);
    ASSERT_FALSE(rig.s().engine.online());
    rig.s().window.setMainButtons(true);
    rig.s().keyPressed(Key::F10, false);
    EXPECT_TRUE(rig.s().engine.online());
    EXPECT_TRUE(rig.s().window.upDownMenuShown);
    EXPECT_EQ(rig.s().window.upDownMenuForm, Form::GoingOnline);
    EXPECT_FALSE(rig.s().window.mainButtonsEnabled);
    EXPECT_FALSE(rig.s().engine.pollTimer().isActive());
}

TEST(MainWindow, FileKeysFollowTheMainButtons) {
    WindowRig rig;
    ASSERT_TRUE(rig.connect());
    struct CountingDialogs final : link::FileDialogs {
        int asked = 0;
        std::optional<std::string> openFile(const link::FileDialogRequest&) override {
            ++asked;
            return std::nullopt;
        }
        std::optional<std::string> saveFile(const link::FileDialogRequest&) override {
            ++asked;
            return std::nullopt;
        }
    } dialogs;
    rig.s().setFileDialogs(&dialogs, rig.dir);
    rig.s().window.setMainButtons(false);
    rig.s().keyPressed(Key::F2, false);
    rig.s().keyPressed(Key::F3, false);
    EXPECT_EQ(dialogs.asked, 0);
    rig.s().window.setMainButtons(true);
    rig.s().keyPressed(Key::F2, false);
    rig.s().keyPressed(Key::F3, false);
    EXPECT_EQ(dialogs.asked, 2);
}

TEST(MainWindow, LockIsRefusedForEitherCurve) {
    for (int curve = 1; curve <= 2; ++curve) {
        WindowRig rig;
        ASSERT_TRUE(rig.connect());
        rig.s().image.setUserCurve(curve, {0, 10, 20, 15});
        (void)rig.s().image.setValue(curve == 1 ? "throttle_response_type_1" : "throttle_response_type_2", 2);
        rig.s().image.redrawCurve(curve);
        rig.s().lockCommand();
        rig.clock.advance(300ms);
        EXPECT_EQ(rig.writesOf('L'), 0u) << curve;
        EXPECT_TRUE(rig.s().window.curveWarningHighlighted) << curve;
    }
}

TEST(MainWindow, UploadEndRefreshesTheDigitalInputCaptions) {
    settings::SettingsImage source;
    (void)source.setValue("hardware_settings_digital_input_2", 7);
    (void)source.setValue("hardware_settings_digital_input_3", 1);
    WindowRig rig;
    rig.module->memory() = test::memoryOf(source);
    ASSERT_TRUE(rig.connect());
    const auto& labels = rig.s().window.dashboard.secondLabels();
    EXPECT_EQ(labels[1], "Resp. curve 2");
    EXPECT_EQ(labels[2], "ALS activation");
    EXPECT_TRUE(rig.s().window.dashboard.valueDisplayEnabled());
}

TEST(MainWindow, NewerModuleAfterALevelChangeShowsNoMaps) {
    WindowRig rig(1);
    rig.module->setLevels(4, 1);
    ASSERT_TRUE(rig.connect());
    ASSERT_FALSE(rig.s().window.mapPanelsShown);
    rig.s().versions.setHeld("1EA1AC1AA");  // as if the module had reported a newer version
    auto& a = rig.s().access;
    a.openLevelDialog();
    a.changeLevel();
    a.setInput("1234");
    a.ok();
    rig.clock.advance(50ms);
    a.chooseLevel(3);
    a.ok();
    rig.clock.advance(50ms);
    EXPECT_EQ(rig.prompter.texts().back(),
              "ECU is newer then the PC software\n\rPlease download newer OXT PC software");
    EXPECT_FALSE(rig.s().window.mapPanelsShown);
    EXPECT_FALSE(rig.s().window.progress.shown);
    EXPECT_EQ(rig.writesOf('Z'), 0u);
}

}  // namespace
