// Fault descriptions as etcsim and the tests give them: "KIND:LETTER:N" and "delay:LETTER:N:MS".
#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "sim/fault.h"

namespace etc::sim {
namespace {

using namespace std::chrono_literals;

struct ParseCase {
    const char* fault;
    std::optional<Fault> expected;
};

TEST(ParseFaultTest, AcceptsWellFormedFaultsAndRejectsTheRest) {
    const std::vector<ParseCase> cases = {
        {"drop:*:3", Fault{FaultKind::Drop, '*', 3, {}}},
        {"corrupt:S:1", Fault{FaultKind::Corrupt, 'S', 1, {}}},
        {"nak:E:5", Fault{FaultKind::Nak, 'E', 5, {}}},
        {"unplug:*:10", Fault{FaultKind::Unplug, '*', 10, {}}},
        {"delay:V:1:700", Fault{FaultKind::Delay, 'V', 1, 700ms}},
        {"delay:Z:2:0.25", Fault{FaultKind::Delay, 'Z', 2, 250us}},
        {"DROP:p:2", Fault{FaultKind::Drop, 'p', 2, {}}},
        {"drop:::1", Fault{FaultKind::Drop, ':', 1, {}}},
        {"", std::nullopt},
        {"drop", std::nullopt},
        {"drop:S", std::nullopt},
        {"drop:S:", std::nullopt},
        {"drop::3", std::nullopt},
        {"drop:SS:3", std::nullopt},
        {"drop:S:0", std::nullopt},
        {"drop:S:-1", std::nullopt},
        {"drop:S:3x", std::nullopt},
        {"drop:S: 3", std::nullopt},
        {"drop:S:3:700", std::nullopt},
        {"lose:S:3", std::nullopt},
        {"delay:S:1", std::nullopt},
        {"delay:S:1:", std::nullopt},
        {"delay:S:1:-5", std::nullopt},
        {"delay:S:1:abc", std::nullopt},
        {"delay:S:1:5:6", std::nullopt},
        {"drop:S:99999999999", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto parsed = parseFault(c.fault);
        ASSERT_EQ(parsed.has_value(), c.expected.has_value()) << '"' << c.fault << '"';
        if (!parsed)
            continue;
        EXPECT_EQ(parsed->kind, c.expected->kind) << c.fault;
        EXPECT_EQ(parsed->letter, c.expected->letter) << c.fault;
        EXPECT_EQ(parsed->nth, c.expected->nth) << c.fault;
        EXPECT_EQ(parsed->delay, c.expected->delay) << c.fault;
    }
}

}  // namespace
}  // namespace etc::sim
