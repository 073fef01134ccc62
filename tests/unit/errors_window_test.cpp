#include "live/errors_window.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace etc::live {
namespace {

using Marks = std::array<ConditionMark, kConditionCount>;
constexpr ConditionMark H = ConditionMark::Hidden;
constexpr ConditionMark W = ConditionMark::Warning;
constexpr ConditionMark E = ConditionMark::Error;

// Every condition hidden except the given ones.
Marks marksWith(std::initializer_list<std::pair<std::size_t, ConditionMark>> shown) {
    Marks marks{};
    marks.fill(H);
    for (const auto& [condition, mark] : shown) {
        marks[condition] = mark;
    }
    return marks;
}

struct ChangeCounter {
    int count = 0;
    explicit ChangeCounter(ErrorsWindow& w) {
        w.changed = [this] { ++count; };
    }
};

// ---- Texts and names ----

TEST(ErrorsWindowTexts, CaptionLegendAndButton) {
    EXPECT_EQ(kErrorsWindowCaption, std::string(20, ' ') + "Errors and warnings");
    EXPECT_EQ(kWarningLegendText, "Orange = warning");
    EXPECT_EQ(kErrorLegendText, "Red with ! = error");
    EXPECT_EQ(kClearMessageText, "Clear message");
}

TEST(ErrorsWindowTexts, ConditionTextsWithTheirDoubleBlanks) {
    struct Case {
        std::size_t condition;
        const char* text;
    };
    const std::vector<Case> cases{
        {0, "Differentiation between TPS 1 and TPS 2"},
        {1, "Throttle not in startup position"},
        {2, "TPS 1  0.25V below calibration value"},
        {3, "TPS 1 0.25V above calibration value"},
        {4, "TPS 2  0.25V below calibration value"},
        {5, "TPS 2 0.25V above calibration value"},
        {6, "TPS 1 and 2  0.25V below calibration value"},
        {7, "TPS 1 and 2  0.25V above calibration value"},
        {8, "Differentiation between PPS 1 and PPS 2"},
        {9, "Pedal not in startup position"},
        {10, "PPS 1  0.25V below calibration value"},
        {11, "PPS 1 0.25V above calibration value"},
        {12, "PPS 2  0.25V below calibration value"},
        {13, "PPS 2 0.25V above calibration value"},
        {14, "PPS 1 and 2  0.25V below calibration value"},
        {15, "PPS 1 and 2  0.25V above calibration value"},
        {16, "Maximum  Intergrator  time"},
        {17, "5V short circuit"},
        {18, "motor current over 18 Amp"},
        {19, "Target  not reached in 1.5 sec"},
        {20, "motor over  userdefined current"},
        {21, "non defined error 3"},
        {22, "non defined error 2"},
        {23, "non defined error 1"},
    };
    ASSERT_EQ(cases.size(), kConditionCount);
    for (const Case& c : cases) {
        EXPECT_EQ(kConditionTexts[c.condition], c.text) << c.condition;
    }
}

TEST(ErrorsWindowTexts, ControlNamesCarryTwoDigits) {
    EXPECT_EQ(indicatorName(0), "AdvSmoothStatusIndicator_error_00");
    EXPECT_EQ(indicatorName(7), "AdvSmoothStatusIndicator_error_07");
    EXPECT_EQ(indicatorName(23), "AdvSmoothStatusIndicator_error_23");
    EXPECT_EQ(messageLabelName(0), "Label_Error_message_00");
    EXPECT_EQ(messageLabelName(17), "Label_Error_message_17");
}

TEST(ErrorsWindowTexts, Looks) {
    EXPECT_EQ(markFill(ConditionMark::Error), 0x0000FFu);
    EXPECT_EQ(markCaption(ConditionMark::Error), "!");
    EXPECT_EQ(markFill(ConditionMark::Warning), 0x2894FFu);
    EXPECT_EQ(markCaption(ConditionMark::Warning), "");
}

// ---- One frame into a fresh window ----

struct FrameCase {
    const char* name;
    ErrorWords words;
    Marks marks;
    bool shown;
};
void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

class ErrorsWindowFrame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(ErrorsWindowFrame, MarksTheFlaggedConditions) {
    const FrameCase& c = GetParam();
    ErrorsWindow w;
    w.showErrors(c.words[0], c.words[1], c.words[2]);
    EXPECT_EQ(w.marks(), c.marks);
    EXPECT_EQ(w.windowShown(), c.shown);
    EXPECT_EQ(w.rememberedWords(), c.words);
}

INSTANTIATE_TEST_SUITE_P(
    ErrorsWindowWords, ErrorsWindowFrame,
    ::testing::Values(
        FrameCase{"word1_0004_error02", {0x0004, 0, 0}, marksWith({{2, E}}), true},
        FrameCase{"word1_0400_warning02", {0x0400, 0, 0}, marksWith({{2, W}}), true},
        FrameCase{"word3_0202_error17", {0, 0, 0x0202}, marksWith({{17, E}}), true},
        FrameCase{"word2_8001_warning15_error08", {0, 0x8001, 0}, marksWith({{15, W}, {8, E}}), true},
        FrameCase{"all_zero", {0, 0, 0}, marksWith({}), false},
        FrameCase{"word1_0001_error00", {0x0001, 0, 0}, marksWith({{0, E}}), true},
        FrameCase{"word3_8000_warning23", {0, 0, 0x8000}, marksWith({{23, W}}), true},
        FrameCase{"word3_0080_error23", {0, 0, 0x0080}, marksWith({{23, E}}), true},
        FrameCase{"word1_FFFF_all_errors",
                  {0xFFFF, 0, 0},
                  marksWith({{0, E}, {1, E}, {2, E}, {3, E}, {4, E}, {5, E}, {6, E}, {7, E}}),
                  true},
        FrameCase{"word2_FF00_all_warnings",
                  {0, 0xFF00, 0},
                  marksWith({{8, W}, {9, W}, {10, W}, {11, W}, {12, W}, {13, W}, {14, W}, {15, W}}),
                  true},
        FrameCase{"three_words",
                  {0x0110, 0x0220, 0x4000},
                  marksWith({{0, W}, {4, E}, {9, W}, {13, E}, {22, W}}),
                  true}),
    [](const ::testing::TestParamInfo<FrameCase>& p) { return std::string(p.param.name); });

TEST(ErrorsWindowFrameBits, EveryBitOfEveryWordMarksItsCondition) {
    for (std::size_t g = 0; g < kErrorWordCount; ++g) {
        for (unsigned bit = 0; bit < 16; ++bit) {
            SCOPED_TRACE("word " + std::to_string(g + 1) + " bit " + std::to_string(bit));
            ErrorWords words{};
            words[g] = static_cast<std::uint16_t>(1u << bit);
            ErrorsWindow w;
            w.showErrors(words[0], words[1], words[2]);
            const std::size_t condition = 8 * g + bit % 8;
            EXPECT_EQ(w.marks(), marksWith({{condition, bit >= 8 ? W : E}}));
            EXPECT_TRUE(w.windowShown());
        }
    }
}

TEST(ErrorsWindowFrameBits, AllZeroOnAHiddenWindowDoesNothing) {
    ErrorsWindow w;
    ChangeCounter counter(w);
    w.showErrors(0, 0, 0);
    EXPECT_FALSE(w.windowShown());
    EXPECT_EQ(w.marks(), marksWith({}));
    EXPECT_EQ(counter.count, 0);
}

TEST(ErrorsWindowFrameBits, OutOfRangeConditionReadsHidden) {
    ErrorsWindow w;
    w.showErrors(0xFFFF, 0xFFFF, 0xFFFF);
    EXPECT_EQ(w.mark(23), E);
    EXPECT_EQ(w.mark(24), H);
    EXPECT_FALSE(w.conditionVisible(31));
    EXPECT_TRUE(w.conditionVisible(0));
}

// ---- Across frames ----

TEST(ErrorsWindowFrames, FlaggedOnceStaysUntilCleared) {
    ErrorsWindow w;
    w.showErrors(0, 0x0001, 0);
    for (int frame = 0; frame < 5; ++frame) {
        w.showErrors(0, 0, 0);
    }
    EXPECT_TRUE(w.windowShown());
    EXPECT_EQ(w.marks(), marksWith({{8, E}}));
}

TEST(ErrorsWindowFrames, FlagsAddUpWhileTheWindowShows) {
    ErrorsWindow w;
    w.showErrors(0x0004, 0, 0);
    w.showErrors(0, 0x0100, 0);
    w.showErrors(0, 0, 0x0020);
    EXPECT_EQ(w.marks(), marksWith({{2, E}, {8, W}, {21, E}}));
}

TEST(ErrorsWindowFrames, ALaterWordChangesTheLook) {
    ErrorsWindow w;
    w.showErrors(0x0004, 0, 0);
    w.showErrors(0x0400, 0, 0);
    EXPECT_EQ(w.mark(2), W) << "marking sets the look each time";
    w.showErrors(0x0404, 0, 0);
    EXPECT_EQ(w.mark(2), E);
}

// While the window shows, frames are compared with the words remembered when it was hidden, not with
// the frame before: the opening words coming back change nothing.
TEST(ErrorsWindowFrames, WordsEqualToTheRememberedOnesAreIgnoredWhileShowing) {
    ErrorsWindow w;
    ChangeCounter counter(w);
    w.showErrors(0x0004, 0, 0);  // opens: 02 error, remembered
    w.showErrors(0x0400, 0, 0);  // differs: 02 warning, not remembered
    EXPECT_EQ(w.rememberedWords(), (ErrorWords{0x0004, 0, 0}));
    w.showErrors(0x0004, 0, 0);  // equal to the remembered: ignored
    EXPECT_EQ(w.mark(2), W);
    EXPECT_EQ(counter.count, 2);
}

TEST(ErrorsWindowFrames, RememberedWordsStayWhileShowing) {
    ErrorsWindow w;
    w.showErrors(0x0001, 0x0002, 0x0003);
    w.showErrors(0, 0, 0);
    w.showErrors(0x1000, 0x2000, 0x3000);
    EXPECT_EQ(w.rememberedWords(), (ErrorWords{0x0001, 0x0002, 0x0003}));
}

TEST(ErrorsWindowFrames, HiddenWindowRemembersEveryFrameEvenZero) {
    ErrorsWindow w;
    w.showErrors(0x0001, 0, 0);
    w.clearMessage();
    w.showErrors(0, 0, 0);
    EXPECT_EQ(w.rememberedWords(), (ErrorWords{0, 0, 0}));
    EXPECT_FALSE(w.windowShown());
}

// ---- Clear message and the close control ----

TEST(ErrorsWindowClear, HidesEveryConditionAndTheWindow) {
    ErrorsWindow w;
    w.showErrors(0xFFFF, 0xFFFF, 0xFFFF);
    ChangeCounter counter(w);
    w.clearMessage();
    EXPECT_FALSE(w.windowShown());
    EXPECT_EQ(w.marks(), marksWith({}));
    EXPECT_EQ(counter.count, 1);
}

TEST(ErrorsWindowClear, ConditionStillFlaggedReappearsWithTheNextFrame) {
    ErrorsWindow w;
    w.showErrors(0x0001, 0, 0);
    w.clearMessage();
    ASSERT_FALSE(w.windowShown());
    w.showErrors(0x0001, 0, 0);
    EXPECT_TRUE(w.windowShown());
    EXPECT_EQ(w.marks(), marksWith({{0, E}}));
}

TEST(ErrorsWindowClear, ConditionNoLongerFlaggedStaysAway) {
    ErrorsWindow w;
    w.showErrors(0x0001, 0, 0x0100);
    w.clearMessage();
    w.showErrors(0, 0, 0x0100);
    EXPECT_EQ(w.marks(), marksWith({{16, W}}));
}

TEST(ErrorsWindowClear, ClearingAClearWindowNotifiesNobody) {
    ErrorsWindow w;
    ChangeCounter counter(w);
    w.clearMessage();
    EXPECT_EQ(counter.count, 0);
}

TEST(ErrorsWindowClose, HidesTheWindowButKeepsTheFlags) {
    ErrorsWindow w;
    w.showErrors(0, 0x0001, 0);
    w.close();
    EXPECT_FALSE(w.windowShown());
    EXPECT_EQ(w.marks(), marksWith({{8, E}}));
    w.showErrors(0, 0, 0);
    EXPECT_FALSE(w.windowShown()) << "zero words never show the window";
    w.showErrors(0, 0, 0x0001);
    EXPECT_TRUE(w.windowShown());
    EXPECT_EQ(w.marks(), marksWith({{8, E}, {16, E}}));
}

}  // namespace
}  // namespace etc::live
