#include "link/com_ini.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace etc::link {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A private directory per test, removed afterwards.
class ComIniTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        m_dir = fs::temp_directory_path() /
                ("etc_com_ini_" + std::to_string(stamp) + "_" + std::to_string(counter++));
        fs::create_directories(m_dir);
        m_file = m_dir / std::string(kComIniFileName);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    void writeBytes(const Bytes& bytes) const {
        std::ofstream out(m_file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    [[nodiscard]] Bytes readBytes() const {
        std::ifstream in(m_file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path m_dir;
    fs::path m_file;
};

Bytes record(const std::string& text, std::uint8_t lengthByte) {
    Bytes r(21, 0);
    r[0] = lengthByte;
    for (std::size_t i = 0; i < text.size() && i < 20; ++i) {
        r[1 + i] = static_cast<std::uint8_t>(text[i]);
    }
    return r;
}
Bytes record(const std::string& text) {
    return record(text, static_cast<std::uint8_t>(text.size()));
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

TEST_F(ComIniTest, WritesTwoFixedRecordsWithZeroPadding) {
    ASSERT_TRUE(writeComIni(m_file, "COM3"));
    EXPECT_EQ(readBytes(), concat({record("COM3"), record("Fast")}));
}

TEST_F(ComIniTest, RoundTripCutsNamesToTwentyCharacters) {
    const struct {
        std::string written;
        std::string readBack;
    } cases[] = {
        {"COM3", "COM3"},
        {"", ""},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXY", "ABCDEFGHIJKLMNOPQRST"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        ASSERT_TRUE(writeComIni(m_file, c.written));
        EXPECT_EQ(fs::file_size(m_file), 42u);
        const ComIniContent content = readComIni(m_file);
        EXPECT_EQ(content.portName, c.readBack);
        EXPECT_TRUE(content.secondRecordRead);
    }
}

TEST_F(ComIniTest, RewriteReplacesALongerFile) {
    writeBytes(Bytes(100, 0x41));
    ASSERT_TRUE(writeComIni(m_file, "COM7"));
    EXPECT_EQ(readBytes(), concat({record("COM7"), record("Fast")}));
}

TEST_F(ComIniTest, WriteFailsWhereNoFileCanBeCreated) {
    EXPECT_FALSE(writeComIni(m_dir / "missing" / "com.ini", "COM3"));
    EXPECT_FALSE(writeComIni(m_dir, "COM3"));  // a directory
}

TEST_F(ComIniTest, ReadsWhatTheFileHolds) {
    const struct {
        const char* name;
        Bytes bytes;
        std::optional<std::string> portName;
        bool second;
    } cases[] = {
        {"empty", {}, std::nullopt, false},
        {"partial first record", Bytes(10, 4), std::nullopt, false},
        {"first record only", record("COM12"), "COM12", false},
        {"partial second record", concat({record("COM12"), Bytes(9, 4)}), "COM12", false},
        {"both", concat({record("COM12"), record("Fast")}), "COM12", true},
        {"second record text not checked", concat({record("COM12"), record("Slow")}), "COM12", true},
        {"trailing bytes ignored", concat({record("COM2"), record("Fast"), Bytes(8, 0xEE)}), "COM2", true},
        {"length 21 in first record", concat({record("COM12", 21), record("Fast")}), std::nullopt, false},
        {"length 255 in first record", concat({record("COM12", 255), record("Fast")}), std::nullopt, false},
        {"length 21 in second record", concat({record("COM12"), record("Fast", 21)}), "COM12", false},
        {"length 20 is the most", concat({record("ABCDEFGHIJKLMNOPQRST"), record("Fast")}),
         "ABCDEFGHIJKLMNOPQRST", true},
        {"length 2 takes two characters", concat({record("COM9", 2), record("Fast")}), "CO", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(c.bytes);
        const ComIniContent content = readComIni(m_file);
        EXPECT_EQ(content.portName, c.portName);
        EXPECT_EQ(content.secondRecordRead, c.second);
    }
}

TEST_F(ComIniTest, MissingFileReadsNothing) {
    const ComIniContent content = readComIni(m_file);
    EXPECT_FALSE(content.portName.has_value());
    EXPECT_FALSE(content.secondRecordRead);
}

// ---- Port name at start ----

struct PortArgCase {
    const char* name;
    std::optional<Bytes> file;  // nothing: no com.ini
    std::vector<std::string> args;
    const char* expected;
};
void PrintTo(const PortArgCase& c, std::ostream* os) {
    *os << c.name;
}

class PortArgResolve : public ComIniTest, public ::testing::WithParamInterface<PortArgCase> {};

TEST_P(PortArgResolve, ChoosesThePort) {
    const PortArgCase& c = GetParam();
    if (c.file) {
        writeBytes(*c.file);
    }
    EXPECT_EQ(resolvePortName(m_file, c.args), c.expected);
}

const Bytes kComplete = concat({record("COM12"), record("Fast")});
const Bytes kFirstOnly = record("COM12");
const Bytes kBadFirstLength = concat({record("COM12", 21), record("Fast")});
const Bytes kBadSecondLength = concat({record("COM12"), record("Fast", 30)});

INSTANTIATE_TEST_SUITE_P(
    PortArgCases, PortArgResolve,
    ::testing::Values(PortArgCase{"missing_file_no_args", std::nullopt, {}, "COM1"},
                      PortArgCase{"missing_file_minus3", std::nullopt, {"-3"}, "COM3"},
                      PortArgCase{"minus2_then_minus5", std::nullopt, {"-2", "-5"}, "COM5"},
                      PortArgCase{"minus5_then_minus2", std::nullopt, {"-5", "-2"}, "COM5"},
                      PortArgCase{"second_argument", std::nullopt, {"-O", "-4"}, "COM4"},
                      PortArgCase{"third_ignored", std::nullopt, {"-1", "-2", "-9"}, "COM2"},
                      PortArgCase{"only_third_matches", std::nullopt, {"a", "b", "-9"}, "COM1"},
                      PortArgCase{"not_a_port_digit", std::nullopt, {"-0", "-10"}, "COM1"},
                      PortArgCase{"no_minus", std::nullopt, {"5"}, "COM1"},
                      PortArgCase{"complete_file_wins", kComplete, {"-3"}, "COM12"},
                      PortArgCase{"complete_file_no_args", kComplete, {}, "COM12"},
                      PortArgCase{"first_record_only_kept", kFirstOnly, {}, "COM12"},
                      PortArgCase{"first_record_only_overridden", kFirstOnly, {"-6"}, "COM6"},
                      PortArgCase{"bad_first_length_defaults", kBadFirstLength, {}, "COM1"},
                      PortArgCase{"bad_first_length_overridden", kBadFirstLength, {"x", "-8"}, "COM8"},
                      PortArgCase{"bad_second_length_keeps_first", kBadSecondLength, {}, "COM12"},
                      PortArgCase{"bad_second_length_overridden", kBadSecondLength, {"-7"}, "COM7"}),
    [](const ::testing::TestParamInfo<PortArgCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace etc::link
