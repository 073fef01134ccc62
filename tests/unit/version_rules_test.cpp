// Version texts: the comparisons and the messages of the checks.
#include <gtest/gtest.h>

#include "settings/version_rules.h"
#include "test_support.h"

using namespace etc;
using namespace etc::settings;
using link::Button;
using link::ButtonSet;

namespace {

TEST(VersionRules, Predicates) {
    struct Case {
        const char* text;
        bool idle, supported, unsupportedEtcSystem, newer;
    };
    const Case cases[] = {
        {"1EA1AB1AA", true, true, false, false}, {"1EA1AA1AA", false, true, false, false},
        {"1EA1AC0AA", true, true, false, true},  {"4EA1AA1AA", true, true, false, false},
        {"4EA2AA1AA", true, true, false, true},  {"0ZZZZZZZZ", false, false, false, false},
        {"1E", false, false, true, false},       {"1EA1AB9ZZ", true, true, false, false},
        {"2EA1AA1AA", true, false, true, false}, {"1IA1AA1AA", true, false, false, false},
        {"1EA1AB", true, true, false, false},    {"", false, false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hasIdleBlocks(c.text), c.idle) << c.text;
        EXPECT_EQ(familySupported(c.text), c.supported) << c.text;
        EXPECT_EQ(unsupportedEtc(c.text), c.unsupportedEtcSystem) << c.text;
        EXPECT_EQ(newerThanTool(c.text), c.newer) << c.text;
    }
}

struct RulesRig {
    test::ScriptedPrompter prompter;
    VersionRules rules{prompter};
    int filled = 0, refused = 0, enabled = 0;
    RulesRig() {
        rules.fillBlockMap = [this] { ++filled; };
        rules.refuse = [this] { ++refused; };
        rules.enableMainButtons = [this] { ++enabled; };
    }
};

TEST(VersionRules, VersionCheckFillsTheBlockMapOrRefusesWithItsMessage) {
    struct Case {
        const char* text;
        const char* message;  // nullptr: accepted silently
    };
    const Case cases[] = {
        {"1EA1AB1AA", nullptr},
        {"4EA9ZZ1AA", nullptr},
        {"2EA1AA1AA",
         "This Version nr : 2EA1AA1AAWith Serialnumber : 123456\r\r\nis not supported by this software "
         "\r\r\nCall "
         "your Software supplier for information !!!"},
        {"1IA1AA1AA",
         "This software is for ETC systems only\r\r\nCall your Software supplier for the Ignition version "
         "!!!"},
        {"1FA1AA1AA",
         "This software is for ETC systems only\r\r\nCall your Software supplier for the Fuel injection "
         "version !!!"},
        {"1MA1AA1AA",
         "This software is for ETC systems only\r\r\nCall your Software supplier for the Motormanagement "
         "version !!!"},
        {"1XA1AA1AA",
         "This software is for ETC systems only\r\r\nCall your Software supplier for the correct version "
         "!!!"},
    };
    for (const auto& c : cases) {
        RulesRig rig;
        rig.rules.setSerial("123456");
        rig.rules.versionCheck(c.text);
        if (!c.message) {
            EXPECT_EQ(rig.filled, 1) << c.text;
            EXPECT_EQ(rig.refused, 0) << c.text;
            EXPECT_TRUE(rig.prompter.shown.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(rig.filled, 0) << c.text;
        EXPECT_EQ(rig.refused, 1) << c.text;
        ASSERT_EQ(rig.prompter.shown.size(), 1u) << c.text;
        EXPECT_EQ(rig.prompter.shown[0].text, c.message) << c.text;
        EXPECT_EQ(rig.prompter.shown[0].kind, link::MessageKind::Warning) << c.text;
        EXPECT_EQ(rig.prompter.shown[0].buttons, ButtonSet::Ok) << c.text;
    }
}

TEST(VersionRules, NewerQuestionAsksOnlyForANewerHeldVersion) {
    RulesRig rig;
    EXPECT_TRUE(rig.rules.newerQuestion(VersionRules::NewerForm::Ok));
    EXPECT_TRUE(rig.prompter.shown.empty());
    rig.rules.setHeld("1EA1AC1AA");
    EXPECT_FALSE(rig.rules.newerQuestion(VersionRules::NewerForm::Ok));
    rig.prompter.answers = {Button::Cancel, Button::Ignore};
    EXPECT_FALSE(rig.rules.newerQuestion(VersionRules::NewerForm::CancelIgnore));
    EXPECT_TRUE(rig.rules.newerQuestion(VersionRules::NewerForm::CancelIgnore));
    ASSERT_EQ(rig.prompter.shown.size(), 3u);
    for (const auto& m : rig.prompter.shown)
        EXPECT_EQ(m.text, "ECU is newer then the PC software\n\rPlease download newer OXT PC software");
    EXPECT_EQ(rig.prompter.shown[0].buttons, ButtonSet::Ok);
    EXPECT_EQ(rig.prompter.shown[1].buttons, ButtonSet::CancelIgnore);
    EXPECT_EQ(rig.prompter.shown[0].kind, link::MessageKind::Information);
}

TEST(VersionRules, DownloadCheckOfTheModulesVersion) {
    {
        RulesRig rig;  // same text: no dialog
        EXPECT_TRUE(rig.rules.downloadVersionCheck("1EA1AB1AA"));
        EXPECT_TRUE(rig.prompter.shown.empty());
    }
    {
        RulesRig rig;  // another supported version, Cancel
        rig.prompter.answers = {Button::Cancel};
        EXPECT_FALSE(rig.rules.downloadVersionCheck("4EA1AB1AA"));
        ASSERT_EQ(rig.prompter.shown.size(), 1u);
        EXPECT_EQ(
            rig.prompter.shown[0].text,
            "The file does not match the current system!!!\r\r\nFile version nr  : 1EA1AB1AA\r\r\nSystem "
            "version nr: 4EA1AB1AA");
        EXPECT_EQ(rig.prompter.shown[0].buttons, ButtonSet::CancelIgnore);
        EXPECT_EQ(rig.refused, 1);
        EXPECT_EQ(rig.enabled, 1);
    }
    {
        RulesRig rig;  // Ignore: the reminder, then on
        rig.prompter.answers = {Button::Ignore};
        EXPECT_TRUE(rig.rules.downloadVersionCheck("4EA1AB1AA"));
        EXPECT_EQ(rig.prompter.texts().back(),
                  "After downloading, upload data (System -> PC)\r\r\nand check all settings for correct "
                  "values!!!");
        EXPECT_EQ(rig.refused, 0);
        EXPECT_EQ(rig.rules.held(), "1EA1AB1AA");
    }
    struct Refusal {
        const char* module;
        const char* message;
    };
    const Refusal refusals[] = {
        {"2EA1AA1AA",
         "This Version nr : 2EA1AA1AA\r\r\nis not supported by this software \r\r\nCall your Software "
         "supplier for "
         "information !!!"},
        {"1FA1AA1AA",
         "This software is for E-Gas management systems only\r\r\nCall your Software supplier for the Fuel "
         "version !!!"},
        {"1MA1AA1AA",
         "This software is for E-Gas management systems only\r\r\nCall your Software supplier for the "
         "correct version "
         "!!!"},
    };
    for (const auto& r : refusals) {
        RulesRig rig;
        EXPECT_FALSE(rig.rules.downloadVersionCheck(r.module)) << r.module;
        EXPECT_EQ(rig.prompter.texts(), std::vector<std::string>{r.message}) << r.module;
        EXPECT_EQ(rig.refused, 1) << r.module;
        EXPECT_EQ(rig.enabled, 0) << r.module;
    }
}

}  // namespace
