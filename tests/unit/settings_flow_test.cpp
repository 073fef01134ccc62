// Upload, settings files and access levels through the session, on virtual time against the
// simulated module.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/session.h"
#include "settings_support.h"
#include "sim/simulated_port.h"
#include "test_support.h"

using namespace etc;
using namespace std::chrono_literals;
using settings::Block;
using Table = settings::SettingsImage::Table;

namespace {

using test::TempDir;

struct Rig {
    link::VirtualClock clock;
    std::unique_ptr<sim::Module> module;
    std::unique_ptr<sim::SimulatedPort> port;
    test::ScriptedPrompter prompter;
    std::unique_ptr<app::Session> session;
    int frames = 0;

    explicit Rig(sim::ModuleConfig config = {}) {
        config.animate = false;
        module = std::make_unique<sim::Module>(clock, std::move(config));
        port = std::make_unique<sim::SimulatedPort>(clock, *module, std::vector<std::string>{"SIM"});
        app::SessionSetup setup;
        setup.portOverride = "SIM";
        session = std::make_unique<app::Session>(*port, clock, prompter, setup);
        session->liveFrameShown = [this](const live::LiveFrame&) { ++frames; };
    }
    app::Session& s() { return *session; }
    // Runs the program's start until the first live frame (or the limit).
    bool connect(link::Duration limit = 10s) {
        s().start();
        return clock.runUntil([&] { return frames > 0; }, limit);
    }
    std::vector<std::pair<int, int>> blockReads() const {
        std::vector<std::pair<int, int>> reads;
        for (const auto& w : port->writes())
            if (w.bytes[0] == 'Z')
                reads.emplace_back(w.bytes[1] * 256 + w.bytes[2], w.bytes[3] * 256 + w.bytes[4]);
        return reads;
    }
};

sim::ModuleConfig moduleWith(const settings::SettingsImage& image, const char* version) {
    sim::ModuleConfig config;
    config.version = version;
    config.memory = test::memoryOf(image);
    return config;
}

void expectSameBlocks(const settings::SettingsImage& a, const settings::SettingsImage& b, bool idle) {
    for (const Block block : settings::kBlocks) {
        if (!idle && (block == Block::IdleTable || block == Block::IdleStart))
            continue;
        EXPECT_EQ(a.encode(block), b.encode(block)) << "block " << static_cast<int>(block);
    }
}

// ---------------------------------------------------------------------------------------------
// Upload

TEST(Upload, ReadsEveryBlockInOrderForBothVersionFamilies) {
    struct Case {
        const char* version;
        bool idle;
    };
    for (const Case c : {Case{"1EA1AB1AA", true}, Case{"1EA1AA1AA", false}, Case{"4EA1AA1AA", true}}) {
        settings::SettingsImage source;
        test::varyImage(source, 7);
        Rig rig(moduleWith(source, c.version));
        ASSERT_TRUE(rig.connect()) << c.version;
        std::vector<std::pair<int, int>> expected;
        for (const Block block : settings::kBlocks) {
            if (!c.idle && (block == Block::IdleTable || block == Block::IdleStart))
                continue;
            const auto span = settings::BlockMap::layout(block);
            expected.emplace_back(span.address, span.words);
        }
        EXPECT_EQ(rig.blockReads(), expected) << c.version;
        EXPECT_EQ(expected.size(), c.idle ? 18u : 16u);
        expectSameBlocks(rig.s().image, source, c.idle);
        if (!c.idle) {
            EXPECT_EQ(rig.s().image.value("beginwaarde"), 400.0);
            EXPECT_EQ(rig.s().image.cell(Table::openloop_idle, 3), 0.0);
        }
        const auto& w = rig.s().window;
        EXPECT_EQ(w.idlePanelShown, c.idle) << c.version;
        EXPECT_FALSE(w.progress.shown);
        EXPECT_TRUE(w.mainButtonsEnabled);
        EXPECT_TRUE(rig.s().engine.pollTimer().isActive());
        EXPECT_EQ(rig.s().upload.state(), settings::kUploadEnd);
        EXPECT_TRUE(rig.prompter.shown.empty());
    }
}

TEST(Upload, CorruptedBlockIsReadAgainNotSkipped) {
    settings::SettingsImage source;
    test::varyImage(source, 3);
    auto config = moduleWith(source, "1EA1AB1AA");
    config.faults.push_back(*sim::parseFault("corrupt:Z:5"));
    Rig rig(config);
    ASSERT_TRUE(rig.connect());
    const auto reads = rig.blockReads();
    ASSERT_EQ(reads.size(), 19u);
    EXPECT_EQ(reads[4], reads[5]);  // the ETC block twice
    EXPECT_EQ(reads[4], std::make_pair(35, 39));
    expectSameBlocks(rig.s().image, source, true);
}

TEST(Upload, UserLevelOneReadsNothingAndPolls) {
    sim::ModuleConfig config;
    config.userLevel = 1;
    Rig rig(config);
    ASSERT_TRUE(rig.connect());
    EXPECT_TRUE(rig.blockReads().empty());
    EXPECT_FALSE(rig.s().window.mapPanelsShown);
    EXPECT_FALSE(rig.s().window.mainButtonsEnabled);
    EXPECT_TRUE(rig.s().window.optionsButtonEnabled);
    EXPECT_EQ(rig.s().access.levelCaption(), "Level 1");
}

TEST(Upload, NewerOrUnsupportedModulesAreNotRead) {
    {
        sim::ModuleConfig config;
        config.version = "1EA1AC1AA";
        Rig rig(config);
        EXPECT_FALSE(rig.connect(3s));
        EXPECT_TRUE(rig.blockReads().empty());
        EXPECT_EQ(rig.prompter.texts(),
                  std::vector<std::string>{
                      "ECU is newer then the PC software\n\rPlease download newer OXT PC software"});
        EXPECT_TRUE(rig.s().image.blockMap().isSet());
    }
    {
        sim::ModuleConfig config;
        config.version = "2EA1AA1AA";
        Rig rig(config);
        EXPECT_FALSE(rig.connect(3s));
        EXPECT_TRUE(rig.blockReads().empty());
        ASSERT_EQ(rig.prompter.shown.size(), 1u);
        EXPECT_EQ(
            rig.prompter.shown[0].text.rfind("This Version nr : 2EA1AA1AAWith Serialnumber : 123456", 0), 0u);
        EXPECT_FALSE(rig.s().image.blockMap().isSet());
        EXPECT_FALSE(rig.s().window.progress.shown);
    }
}

TEST(Upload, CommandRunsTheHandshakeAgainAndRereadsEverything) {
    settings::SettingsImage source;
    test::varyImage(source, 11);
    Rig rig(moduleWith(source, "1EA1AB1AA"));
    ASSERT_TRUE(rig.connect());
    test::varyImage(source, 12);
    rig.module->memory() = test::memoryOf(source);
    rig.port->clearWrites();
    rig.frames = 0;
    rig.s().upload.command();
    EXPECT_TRUE(rig.s().window.progress.shown);
    EXPECT_EQ(rig.s().window.progress.caption, "Up_loading");
    EXPECT_EQ(rig.s().window.progress.maximum, 1158);
    ASSERT_TRUE(rig.clock.runUntil([&] { return rig.frames > 0; }, 10s));
    EXPECT_EQ(rig.port->writes()[0].bytes, link::request::version());
    EXPECT_EQ(rig.port->writes()[0].baud, 9600);
    expectSameBlocks(rig.s().image, source, true);
}

// ---------------------------------------------------------------------------------------------
// Settings files

struct FileRig {
    link::VirtualClock clock;
    sim::Module module{clock, sim::ModuleConfig{}};
    sim::SimulatedPort port{clock, module};
    test::ScriptedPrompter prompter;
    app::Session session{port, clock, prompter};
    TempDir dir;
    std::filesystem::path path(const char* name) const { return dir.path / name; }
};

TEST(SettingsFile, SavedFileHasTheLayoutAndLoadsBackUnchanged) {
    FileRig rig;
    test::varyImage(rig.session.image, 21);
    rig.session.image.setCell(Table::PositieveSollwert, 0, -5);
    rig.session.versions.versionCheck("1EA1AB1AA");
    ASSERT_EQ(rig.session.file.save(rig.path("a.e00")), settings::SettingsFile::SaveResult::Saved);
    const auto bytes = settings::readWholeFile(rig.path("a.e00"));
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), 2062u);
    EXPECT_EQ(link::Bytes(bytes->begin(), bytes->begin() + 12),
              (link::Bytes{0x45, 0x31, 0x31, 0x41, 0x42, 0x41, 0x41, 0x31, 0x00, 0x41, 0x00, 0x00}));
    // Setpoint cell 1 is module word 74, file word 80: -5 as 65531, low byte first.
    EXPECT_EQ((*bytes)[160], 0xFB);
    EXPECT_EQ((*bytes)[161], 0xFF);
    for (std::size_t w = 585; w <= 901; ++w)
        EXPECT_EQ((*bytes)[2 * w] | (*bytes)[2 * w + 1], 0) << w;
    EXPECT_EQ((*bytes)[2060] | (*bytes)[2061], 0);

    FileRig other;
    ASSERT_EQ(other.session.file.load(rig.path("a.e00")), settings::SettingsFile::LoadResult::Loaded);
    expectSameBlocks(other.session.image, rig.session.image, true);
    EXPECT_EQ(other.session.image.cell(Table::PositieveSollwert, 0), -5);
    EXPECT_EQ(other.session.versions.held(), "1EA1AB1AA");
    // Values set on their step come back as the same number (to the last bits of the division), but
    // for max_PWM, whose 0.1 % step is finer than its wire unit of 1/28.16 %.
    for (const auto& f : settings::SettingsImage::fields()) {
        const double tolerance = f.name == "max_PWM" ? 0.5 / 28.16 : 1e-9;
        EXPECT_NEAR(*other.session.image.value(f.name), *rig.session.image.value(f.name), tolerance)
            << f.name;
    }
    EXPECT_TRUE(rig.prompter.shown.empty());
    EXPECT_TRUE(other.prompter.shown.empty());
}

TEST(SettingsFile, VersionsWithoutIdleBlocksWriteZerosAndKeepTheIdleValuesOnLoad) {
    FileRig rig;
    test::varyImage(rig.session.image, 5);
    rig.session.versions.setHeld("1EA1AA1AA");
    ASSERT_EQ(rig.session.file.save(rig.path("old.e00")), settings::SettingsFile::SaveResult::Saved);
    const auto bytes = *settings::readWholeFile(rig.path("old.e00"));
    for (std::size_t w = 573; w <= 584; ++w)
        EXPECT_EQ(bytes[2 * w] | bytes[2 * w + 1], 0) << w;

    FileRig other;
    other.session.image.setCell(Table::openloop_idle, 4, 33.5);
    (void)other.session.image.setValue("beginwaarde", 900);
    ASSERT_EQ(other.session.file.load(rig.path("old.e00")), settings::SettingsFile::LoadResult::Loaded);
    EXPECT_EQ(other.session.image.cell(Table::openloop_idle, 4), 33.5);
    EXPECT_EQ(other.session.image.value("beginwaarde"), 900.0);
    EXPECT_EQ(other.session.image.encode(Block::Etc), rig.session.image.encode(Block::Etc));
}

TEST(SettingsFile, FailedSaveKeepsTheExistingFile) {
    FileRig rig;
    rig.session.versions.versionCheck("1EA1AB1AA");
    const auto target = rig.path("keep.e00");
    { std::ofstream(target) << "old contents"; }
    // A folder in the way of the temporary file makes the write fail.
    std::filesystem::create_directories(target.string() + ".saving");
    EXPECT_EQ(rig.session.file.save(target), settings::SettingsFile::SaveResult::Failed);
    EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{"Error on saving data"});
    std::ifstream in(target);
    std::string contents;
    std::getline(in, contents);
    EXPECT_EQ(contents, "old contents");
    EXPECT_EQ(rig.session.file.save(rig.path("missing-folder/x.e00")),
              settings::SettingsFile::SaveResult::Failed);
}

TEST(SettingsFile, ShortOrMissingFileLeavesTheImageExactlyAsItWas) {
    FileRig source;
    test::varyImage(source.session.image, 9);
    source.session.versions.setHeld("4EA1AB1AA");
    ASSERT_EQ(source.session.file.save(source.path("full.e00")), settings::SettingsFile::SaveResult::Saved);
    auto bytes = *settings::readWholeFile(source.path("full.e00"));
    bytes.resize(2000);  // the calibration block is cut off
    {
        std::ofstream out(source.path("short.e00"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    for (const char* name : {"short.e00", "nothing-here.e00"}) {
        FileRig rig;
        test::varyImage(rig.session.image, 1);
        rig.session.versions.versionCheck("1EA1AB1AA");
        settings::SettingsImage before = rig.session.image;
        EXPECT_EQ(rig.session.file.load(source.path(name)), settings::SettingsFile::LoadResult::NotReadable)
            << name;
        EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{"Error on reading file"}) << name;
        expectSameBlocks(rig.session.image, before, true);
        EXPECT_EQ(rig.session.versions.held(), "1EA1AB1AA") << name;
    }
}

TEST(SettingsFile, UnsupportedFamilyAsFirstActionLoadsNothing) {
    FileRig source;
    test::varyImage(source.session.image, 2);
    source.session.image.blockMap().set();
    source.session.versions.setHeld("2EA1AB1AA");
    // Saving shows the same message, but the block map is set here, so the file is written.
    ASSERT_EQ(source.session.file.save(source.path("foreign.e00")),
              settings::SettingsFile::SaveResult::Saved);
    FileRig rig;
    settings::SettingsImage before = rig.session.image;
    EXPECT_EQ(rig.session.file.load(source.path("foreign.e00")),
              settings::SettingsFile::LoadResult::NoBlockMap);
    ASSERT_EQ(rig.prompter.shown.size(), 1u);
    EXPECT_EQ(rig.prompter.shown[0].text.rfind("This Version nr : 2EA1AB1AA", 0), 0u);
    expectSameBlocks(rig.session.image, before, true);
    EXPECT_EQ(rig.session.versions.held(), "2EA1AB1AA");
}

TEST(SettingsFile, PredefinedFileChangesOnlyTheControlLoop) {
    FileRig source;
    test::varyImage(source.session.image, 30);
    source.session.versions.versionCheck("1EA1AB1AA");
    std::filesystem::create_directories(source.dir.path / "System");
    ASSERT_EQ(source.session.file.save(settings::predefinedFile(source.dir.path, 3)),
              settings::SettingsFile::SaveResult::Saved);
    EXPECT_EQ(settings::predefinedFile(source.dir.path, 3).filename(), "Pred03.e0i");

    FileRig rig;
    test::varyImage(rig.session.image, 31);
    rig.session.versions.versionCheck("1EA1AB1AA");
    const settings::SettingsImage before = rig.session.image;
    ASSERT_TRUE(rig.session.file.loadPredefined(settings::predefinedFile(source.dir.path, 3)));
    const std::vector<std::string> controlLoop{
        "P_versterking",  "P_neg",           "PErrorOffSet", "Iversterking", "Ineg",      "IErrorOffSetNeg",
        "ImaxPos",        "ImaxNeg",         "ImaxTijd",     "ResetAcct",    "ResetDiff", "PulsSampleTime",
        "PulslengteOpen", "PulslengteDicht", "Dversterking", "Dtime",        "Dv_neg",    "Dvtime_neg"};
    for (const auto& f : settings::SettingsImage::fields()) {
        const bool inLoop = std::find(controlLoop.begin(), controlLoop.end(), f.name) != controlLoop.end();
        EXPECT_EQ(rig.session.image.value(f.name),
                  inLoop ? source.session.image.value(f.name) : before.value(f.name))
            << f.name;
    }
    EXPECT_FALSE(rig.session.file.loadPredefined(settings::predefinedFile(source.dir.path, 4)));
    EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{"Error on reading file"});
}

TEST(SettingsFile, UploadSaveLoadDownloadReproducesTheModuleMemory) {
    settings::SettingsImage source;
    test::varyImage(source, 77);
    Rig first(moduleWith(source, "1EA1AB1AA"));
    ASSERT_TRUE(first.connect());
    TempDir dir;
    ASSERT_EQ(first.s().file.save(dir.path / "m.e00"), settings::SettingsFile::SaveResult::Saved);

    sim::ModuleConfig blank;
    blank.version = "1EA1AB1AA";
    Rig second(blank);
    ASSERT_EQ(second.s().file.load(dir.path / "m.e00"), settings::SettingsFile::LoadResult::Loaded);
    bool ended = false;
    second.s().download.ended = [&] { ended = true; };
    second.s().download.start();
    ASSERT_TRUE(second.clock.runUntil([&] { return ended; }, 20s));
    EXPECT_EQ(second.module->memory(), first.module->memory());
    EXPECT_TRUE(second.prompter.shown.empty());
}

// ---------------------------------------------------------------------------------------------
// Access levels and passwords

TEST(AccessLevels, LevelReplySetsChoicesAndCaption) {
    struct Case {
        int master, user;
        int choice;
        const char* caption;
        std::array<bool, 4> enabled;
    };
    const Case cases[] = {
        {2, 2, 2, "Level 2", {true, true, false, false}}, {4, 0, 1, "Level 0", {true, true, true, true}},
        {4, 7, 4, "Level 7", {true, true, true, true}},   {1, 1, 1, "Level 1", {true, false, false, false}},
        {3, 3, 3, "Level 3", {true, true, true, false}},  {9, 2, 2, "Level 2", {true, true, true, true}},
    };
    for (const auto& c : cases) {
        FileRig rig;
        rig.session.access.onLevels(c.master, c.user);
        EXPECT_EQ(rig.session.access.masterLabel(), std::to_string(c.master));
        EXPECT_EQ(rig.session.access.levelChoice(), c.choice);
        EXPECT_EQ(rig.session.access.levelCaption(), c.caption);
        for (int l = 1; l <= 4; ++l)
            EXPECT_EQ(rig.session.access.choiceEnabled(l), c.enabled[l - 1]) << l;
    }
}

TEST(AccessLevels, PasswordsGoOutPaddedAndTheBoxFollowsTheReplies) {
    EXPECT_EQ(access::paddedPassword("1234"), "1234000000");
    EXPECT_EQ(access::paddedPassword("ABCDEFGHIJ"), "ABCDEFGHIJ");
    sim::ModuleConfig config;
    config.userLevel = 1;
    Rig rig(config);
    ASSERT_TRUE(rig.connect());
    auto& a = rig.s().access;
    a.openLevelDialog();
    EXPECT_TRUE(a.groupShown());

    // Change the user password: old, new twice.
    a.changeUserPassword();
    EXPECT_EQ(a.box().prompt, "Enter Old Password :");
    a.setInput("1234");
    a.ok();
    rig.clock.advance(50ms);
    EXPECT_EQ(rig.port->writes().back().bytes, link::request::password('p', "1234000000"));
    EXPECT_EQ(a.box().prompt, "Enter New Password :");
    a.setInput("abc");
    a.ok();
    EXPECT_EQ(a.box().prompt, "Re-enter New Password :");
    a.setInput("abd");
    const auto sent = rig.port->writes().size();
    a.ok();
    EXPECT_EQ(a.box().prompt, "Enter New Password :");
    EXPECT_EQ(rig.port->writes().size(), sent);
    EXPECT_EQ(rig.prompter.texts().back(), "New Password is not correct !!!\r\r\nPlease try again");
    a.setInput("abc");
    a.ok();
    a.setInput("abc");
    a.ok();
    rig.clock.advance(50ms);
    EXPECT_EQ(rig.port->writes().back().bytes, link::request::password('P', "abc0000000"));
    EXPECT_FALSE(a.box().shown);
    EXPECT_EQ(rig.module->userPassword(), "abc0000000");

    // A wrong password, an empty one.
    a.changeLevel();
    a.setInput("nope");
    a.ok();
    rig.clock.advance(50ms);
    EXPECT_EQ(rig.prompter.texts().back(), "Password is not correct !!!\r\r\nPlease try again");
    EXPECT_TRUE(a.box().input.empty());
    a.ok();
    EXPECT_EQ(rig.prompter.texts().back(), "Password can't be empty\r\r\nPlease try again");

    // The right one shows the level choices; choosing level 3 sends "A" 04 03 and starts an upload.
    a.setInput("abc");
    a.ok();
    rig.clock.advance(50ms);
    EXPECT_TRUE(a.box().levelChoicesShown);
    EXPECT_FALSE(a.box().inputShown);
    a.chooseLevel(3);
    a.ok();
    rig.clock.advance(20ms);
    const auto& writes = rig.port->writes();
    EXPECT_TRUE(std::any_of(writes.begin(), writes.end(), [](const sim::WriteRecord& w) {
        return w.bytes == link::request::setAccessLevel(4, 3);
    }));
    ASSERT_TRUE(rig.clock.runUntil([&] { return rig.s().upload.state() == settings::kUploadEnd; }, 10s));
    EXPECT_EQ(a.levelCaption(), "Level 3");
    EXPECT_EQ(rig.module->userLevel(), 3);
    EXPECT_TRUE(rig.s().window.mapPanelsShown);
}

TEST(AccessLevels, MasterPasswordShowsTheResetPasswordAndRefusedLevelWarns) {
    sim::ModuleConfig config;
    config.masterLevel = 2;
    config.userLevel = 1;
    Rig rig(config);
    ASSERT_TRUE(rig.connect());
    auto& a = rig.s().access;
    a.openLevelDialog();
    a.enterMasterPassword();
    EXPECT_EQ(a.box().caption, "Enter Master Password");
    a.setInput("MASTER");
    a.ok();
    rig.clock.advance(50ms);
    EXPECT_TRUE(a.box().resetLabelsShown);
    EXPECT_FALSE(a.box().cancelShown);
    a.ok();
    EXPECT_FALSE(a.box().shown);

    a.changeLevel();
    a.setInput("JQW");
    a.ok();
    rig.clock.advance(50ms);
    ASSERT_TRUE(a.box().levelChoicesShown);
    a.chooseLevel(4);  // disabled by master level 2: the choice stays
    EXPECT_EQ(a.levelChoice(), 1);
    rig.module->setLevels(1, 1);  // the module now refuses anything above level 1
    a.chooseLevel(2);
    a.ok();
    rig.clock.advance(50ms);
    EXPECT_EQ(rig.prompter.texts().back(), "Changing Settings is not possible !!!");
}

TEST(AccessLevels, LevelDialogNeedsTheLinkOnline) {
    FileRig rig;
    rig.session.engine.goOffline();
    rig.session.access.openLevelDialog();
    EXPECT_FALSE(rig.session.access.groupShown());
    EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{"Only possible when Communication is ONLINE"});
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// The file commands of the main window

struct ScriptedDialogs final : link::FileDialogs {
    std::optional<std::string> answer;
    std::vector<link::FileDialogRequest> asked;
    std::optional<std::string> openFile(const link::FileDialogRequest& r) override {
        asked.push_back(r);
        return answer;
    }
    std::optional<std::string> saveFile(const link::FileDialogRequest& r) override {
        asked.push_back(r);
        return answer;
    }
};

TEST(FileCommands, SaveAsksWithTheDialogsTextsThenPollingResumes) {
    settings::SettingsImage source;
    test::varyImage(source, 40);
    Rig rig(moduleWith(source, "1EA1AB1AA"));
    ASSERT_TRUE(rig.connect());
    TempDir dir;
    ScriptedDialogs dialogs;
    dialogs.answer = (dir.path / "saved.e00").string();
    rig.s().setFileDialogs(&dialogs, dir.path);
    rig.s().saveCommand();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    const auto& r = dialogs.asked[0];
    EXPECT_EQ(r.title, "Save as");
    EXPECT_EQ(r.filter, "E_gas(*.e00)|*e00");
    EXPECT_EQ(r.fileName, "noname.e00");
    EXPECT_EQ(r.defaultExtension, "e00");
    EXPECT_EQ(r.directory, dir.path.string());
    EXPECT_TRUE(r.confirmOverwrite);
    EXPECT_EQ(settings::readWholeFile(dir.path / "saved.e00")->size(), 2062u);
    EXPECT_EQ(rig.port->writes().back().bytes, link::request::livePoll());
    EXPECT_FALSE(rig.s().engine.receiveBlocked());
}

TEST(FileCommands, OpenTakesTheToolOfflineWithTheMenuForALoadedFile) {
    settings::SettingsImage source;
    test::varyImage(source, 41);
    Rig rig(moduleWith(source, "1EA1AB1AA"));
    ASSERT_TRUE(rig.connect());
    TempDir dir;
    ScriptedDialogs dialogs;
    rig.s().setFileDialogs(&dialogs, dir.path);

    // Cancelled: polling goes on.
    rig.s().openCommand();
    EXPECT_EQ(dialogs.asked.back().title, "Open");
    EXPECT_EQ(dialogs.asked.back().filter, "E_gas (*.e00)|*.e00");
    EXPECT_EQ(rig.port->writes().back().bytes, link::request::livePoll());
    EXPECT_TRUE(rig.s().engine.online());

    ASSERT_EQ(rig.s().file.save(dir.path / "a.e00"), settings::SettingsFile::SaveResult::Saved);
    test::varyImage(rig.s().image, 42);
    dialogs.answer = (dir.path / "a.e00").string();
    rig.s().openCommand();
    expectSameBlocks(rig.s().image, source, true);
    EXPECT_FALSE(rig.s().engine.online());
    EXPECT_FALSE(rig.port->isOpen());
    EXPECT_FALSE(rig.s().window.mainButtonsEnabled);
    EXPECT_TRUE(rig.s().window.upDownMenuShown);
    EXPECT_EQ(rig.s().window.upDownMenuForm, app::MainWindowState::MenuForm::FileLoaded);
    EXPECT_FALSE(rig.s().engine.pollTimer().isActive());
}

TEST(FileCommands, PredefinedSettingWritesOnlyTheFirstEtcFrame) {
    settings::SettingsImage source;
    test::varyImage(source, 43);
    Rig rig(moduleWith(source, "1EA1AB1AA"));
    ASSERT_TRUE(rig.connect());
    TempDir dir;
    std::filesystem::create_directories(dir.path / "System");
    (void)rig.s().image.setValue("P_versterking", 2.5);
    ASSERT_EQ(rig.s().file.save(settings::predefinedFile(dir.path, 2)),
              settings::SettingsFile::SaveResult::Saved);
    (void)rig.s().image.setValue("P_versterking", 1.0);
    rig.s().setFileDialogs(nullptr, dir.path);
    rig.s().engine.stopPolling();
    rig.port->clearWrites();
    rig.s().choosePredefined(2);
    rig.clock.advance(1s);
    std::vector<link::Bytes> frames;
    for (const auto& w : rig.port->writes())
        frames.push_back(w.bytes);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(link::Bytes(frames[0].begin(), frames[0].begin() + 7),
              (link::Bytes{0x45, 0x00, 0x16, 0x00, 0x23, 0x00, 0xFA}));
    EXPECT_EQ(frames[0].size(), 28u);
    EXPECT_EQ(rig.s().image.value("P_versterking"), 2.5);
}

}  // namespace
