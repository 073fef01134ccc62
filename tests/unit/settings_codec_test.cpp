// Block codecs of the settings image, one table per block: every field on its step is encoded to its
// expected bytes at its offset and decoded back unchanged, then the edge cases of the block.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "settings/settings_image.h"

using etc::link::Bytes;
using etc::settings::Block;
using etc::settings::BlockMap;
using etc::settings::SettingsImage;

namespace {

Bytes hex(const std::string& s) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < s.size(); i += 3)
        out.push_back(static_cast<std::uint8_t>(std::stoi(s.substr(i, 2), nullptr, 16)));
    return out;
}

std::string n(const char* stem, int number) {
    return stem + std::to_string(number);
}

double d(int v) {
    return static_cast<double>(v);
}

std::size_t blockSize(Block b) {
    return 2 * static_cast<std::size_t>(BlockMap::layout(b).words);
}

// A field set to value encodes to bytes at offset and decodes back to value.
struct FieldCase {
    std::string field;
    double value;
    std::size_t offset;
    Bytes bytes;
};

void expectRoundTrips(Block block, const std::vector<FieldCase>& cases) {
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.field + " = " + std::to_string(c.value));
        SettingsImage image;
        ASSERT_TRUE(image.setValue(c.field, c.value));
        const Bytes encoded = image.encode(block);
        ASSERT_EQ(encoded.size(), blockSize(block));
        ASSERT_LE(c.offset + c.bytes.size(), encoded.size());
        EXPECT_EQ(Bytes(encoded.begin() + static_cast<std::ptrdiff_t>(c.offset),
                        encoded.begin() + static_cast<std::ptrdiff_t>(c.offset + c.bytes.size())),
                  c.bytes);
        // Decode into an image whose field holds something else.
        SettingsImage back;
        back.setValue(c.field, c.value == 1 ? 0 : 1);
        ASSERT_TRUE(back.decode(block, encoded));
        EXPECT_DOUBLE_EQ(*back.value(c.field), c.value);
    }
}

// A field set to value encodes to bytes at offset (values off the wire grid: rounding).
void expectEncodes(Block block, const std::vector<FieldCase>& cases) {
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.field + " = " + std::to_string(c.value));
        SettingsImage image;
        ASSERT_TRUE(image.setValue(c.field, c.value));
        const Bytes encoded = image.encode(block);
        ASSERT_LE(c.offset + c.bytes.size(), encoded.size());
        EXPECT_EQ(Bytes(encoded.begin() + static_cast<std::ptrdiff_t>(c.offset),
                        encoded.begin() + static_cast<std::ptrdiff_t>(c.offset + c.bytes.size())),
                  c.bytes);
    }
}

// Bytes placed at offset in an otherwise zero block decode to the expected value.
struct DecodeCase {
    std::size_t offset;
    Bytes bytes;
    std::string field;
    double expected;
};

void expectDecodes(Block block, const std::vector<DecodeCase>& cases) {
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.field);
        Bytes block_bytes(blockSize(block), 0);
        std::copy(c.bytes.begin(), c.bytes.end(),
                  block_bytes.begin() + static_cast<std::ptrdiff_t>(c.offset));
        SettingsImage image;
        image.setValue(c.field, c.expected == 1 ? 0 : 1);
        ASSERT_TRUE(image.decode(block, block_bytes));
        EXPECT_DOUBLE_EQ(*image.value(c.field), c.expected);
    }
}

// Bytes a block does not use are written as 0 and ignored when read.
void expectUnusedBytesIgnored(Block block, const std::vector<std::size_t>& unused) {
    SettingsImage image;
    const Bytes ones(blockSize(block), 0xFF);
    ASSERT_TRUE(image.decode(block, ones));
    const Bytes encoded = image.encode(block);
    for (std::size_t at : unused)
        EXPECT_EQ(encoded[at], 0) << "byte " << at;
    // The unused bytes do not change what is decoded.
    Bytes cleared = ones;
    for (std::size_t at : unused)
        cleared[at] = 0;
    SettingsImage other;
    ASSERT_TRUE(other.decode(block, cleared));
    EXPECT_EQ(other.encode(block), encoded);
}

TEST(SettingsCodec, CurveOptionsBlock) {
    expectRoundTrips(Block::CurveOptions, {
                                              {"throttle_response_type_1", 1, 0, hex("01")},
                                              {"throttle_response_type_1", 2, 0, hex("02")},
                                              {"throttle_response_curve_1_acc_limiter", 125, 1, hex("FA")},
                                              {"throttle_response_curve_1_acc_limiter", 0.5, 1, hex("01")},
                                              {"throttle_response_type_2", 2, 2, hex("02")},
                                              {"throttle_response_curve_2_acc_limiter", 62.5, 3, hex("7D")},
                                          });
    expectDecodes(Block::CurveOptions, {
                                           {0, hex("07"), "throttle_response_type_1", 2},
                                           {2, hex("FF"), "throttle_response_type_2", 2},
                                           {1, hex("FF"), "throttle_response_curve_1_acc_limiter", 127.5},
                                       });
}

TEST(SettingsCodec, EtcBlock) {
    std::vector<FieldCase> cases{
        {"P_versterking", 2.57, 0, hex("01 01")},
        {"P_versterking", 2.5, 0, hex("00 FA")},
        {"P_neg", 10, 2, hex("03 E8")},
        {"PErrorOffSet", 12.5, 4, hex("00 19")},
        {"Iversterking", 0.01, 6, hex("00 01")},
        {"Ineg", 9.99, 8, hex("03 E7")},
        {"IErrorOffSetNeg", 0.5, 10, hex("00 01")},
        {"ImaxPos", 3000, 12, hex("0B B8")},
        {"ImaxNeg", 1234, 14, hex("04 D2")},
        {"ImaxTijd", 1000, 16, hex("03 E8")},
        {"ResetAcct", 63, 18, hex("00 3F")},
        {"ResetDiff", 99.5, 20, hex("00 C7")},
        {"PulsSampleTime", 100, 22, hex("00 64")},
        {"PulslengteOpen", 200, 24, hex("00 C8")},
        {"PulslengteDicht", 17, 26, hex("00 11")},
        {"Dversterking", 4.2, 28, hex("01 A4")},
        {"Dtime", 7, 30, hex("00 07")},
        {"Dv_neg", 0.35, 32, hex("00 23")},
        {"Dvtime_neg", 62, 34, hex("00 3E")},
        {"Min_value_TPS1", 412, 36, hex("01 9C")},
        {"Max_value_TPS1", 4600, 38, hex("11 F8")},
        {"Min_value_TPS2", 5000, 40, hex("13 88")},
        {"Max_value_TPS2", 1, 42, hex("00 01")},
        {"MinTPS_standDp", 2.5, 44, hex("00 05")},
        {"MaxTPS_standDp", 100, 46, hex("00 C8")},
        {"MaxDiffTps1Tps2", 7.5, 48, hex("00 0F")},
        {"SingleSpring", 2, 50, hex("00 02")},
        {"TPS1_Inverted", 1, 52, hex("00 01")},
        {"TPS2_Inverted", 1, 54, hex("00 01")},
        {"AutoCalTPS", 50, 56, hex("00 32")},
        {"Min_Value_Ped1", 300, 58, hex("01 2C")},
        {"Max_Value_Ped1", 4700, 60, hex("12 5C")},
        {"Min_Value_Ped2", 650, 62, hex("02 8A")},
        {"Max_Value_Ped2", 4095, 64, hex("0F FF")},
        {"MaxDiffPed1Ped2", 12, 66, hex("00 18")},
        {"MaxPedPowerUp", 30.5, 68, hex("00 3D")},
        {"pedal1_Inverted", 1, 70, hex("00 01")},
        {"pedal2_Inverted", 1, 72, hex("00 01")},
    };
    // Error set-up box n is bit n % 16 of the word at 74 (n < 16) or 76, bit 0 = value 1.
    for (int bit = 0; bit < 32; ++bit) {
        const int mask = 1 << (bit % 16);
        cases.push_back({n("Error_setup_", bit),
                         1,
                         bit < 16 ? 74u : 76u,
                         {static_cast<std::uint8_t>(mask >> 8), static_cast<std::uint8_t>(mask & 0xFF)}});
    }
    expectRoundTrips(Block::Etc, cases);

    // Halves to even.
    expectEncodes(Block::Etc, {
                                  {"PErrorOffSet", 0.25, 4, hex("00 00")},
                                  {"PErrorOffSet", 0.75, 4, hex("00 02")},
                                  {"ResetDiff", 1.25, 20, hex("00 02")},
                              });
}

TEST(SettingsCodec, ErrorSetupWordsAreBitSets) {
    // 80 01 and 00 03: boxes 0, 15, 16 and 17, and no others.
    Bytes block(blockSize(Block::Etc), 0);
    block[74] = 0x80;
    block[75] = 0x01;
    block[76] = 0x00;
    block[77] = 0x03;
    SettingsImage image;
    for (int bit = 0; bit < 32; ++bit)
        image.setValue(n("Error_setup_", bit), 1);
    ASSERT_TRUE(image.decode(Block::Etc, block));
    for (int bit = 0; bit < 32; ++bit) {
        const bool expected = bit == 0 || bit == 15 || bit == 16 || bit == 17;
        EXPECT_EQ(*image.value(n("Error_setup_", bit)), expected ? 1 : 0) << bit;
    }
    // 9 and 11 checked: the first word is 0x0A00.
    SettingsImage safety;
    safety.setValue("Error_setup_9", 1);
    safety.setValue("Error_setup_11", 1);
    const Bytes encoded = safety.encode(Block::Etc);
    EXPECT_EQ(Bytes(encoded.begin() + 74, encoded.end()), hex("0A 00 00 00"));
}

TEST(SettingsCodec, HardwareBlock) {
    expectRoundTrips(Block::Hardware, {
                                          {"hardware_settings_digital_input_1", 7, 0, hex("07")},
                                          {"hardware_settings_digital_input_2", 3, 1, hex("03")},
                                          {"hardware_settings_digital_input_3", 8, 2, hex("08")},
                                          {"hardware_settings_analoge_input_1", 1, 3, hex("01")},
                                          {"hardware_settings_analoge_input_2", 4, 4, hex("04")},
                                      });
    // An index beyond the last item selects the last item.
    expectDecodes(Block::Hardware, {
                                       {0, hex("C8"), "hardware_settings_digital_input_1", 7},
                                       {1, hex("08"), "hardware_settings_digital_input_2", 7},
                                       {2, hex("C8"), "hardware_settings_digital_input_3", 8},
                                       {3, hex("05"), "hardware_settings_analoge_input_1", 4},
                                       {4, hex("FF"), "hardware_settings_analoge_input_2", 4},
                                   });
    expectUnusedBytesIgnored(Block::Hardware, {5});
}

TEST(SettingsCodec, RpmBlock) {
    std::vector<FieldCase> cases;
    // Rows on the 50 RPM step across the range: w = value / 10.
    for (int k = 1; k <= 21; ++k) {
        const int rpm = 500 + 950 * (k - 1) + (k % 3) * 50;  // 550 .. 19500, not all multiples of 100
        const int w = rpm / 10;
        cases.push_back({n("RPM_Range_Row", k),
                         static_cast<double>(rpm),
                         2u * static_cast<std::size_t>(k - 1),
                         {static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w & 0xFF)}});
    }
    cases.push_back({"RPM_Range_Row1", 500, 0, hex("00 32")});
    cases.push_back({"RPM_Range_Row21", 20000, 40, hex("07 D0")});
    cases.push_back({"RPM_pickup_pulses_per_revolution", 5, 42, hex("05")});
    cases.push_back({"RPM_pickup_pulses_per_revolution", 7, 42, hex("07")});
    expectRoundTrips(Block::Rpm, cases);
    expectEncodes(Block::Rpm, {
                                  {"RPM_Range_Row2", 505, 2, hex("00 32")},  // 50.5 -> 50
                                  {"RPM_Range_Row2", 515, 2, hex("00 34")},  // 51.5 -> 52
                              });
    expectDecodes(Block::Rpm, {{42, hex("09"), "RPM_pickup_pulses_per_revolution", 7}});
    expectUnusedBytesIgnored(Block::Rpm, {43});
}

TEST(SettingsCodec, StartRpmAxisEncodesAsFiftyStepsOfFifty) {
    const SettingsImage image;
    const Bytes encoded = image.encode(Block::Rpm);
    EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 6), hex("00 32 00 64 00 96"));
    for (int k = 1; k <= 21; ++k)
        EXPECT_EQ(
            encoded[2 * static_cast<std::size_t>(k) - 1] + 256 * encoded[2 * static_cast<std::size_t>(k) - 2],
            50 * k);
}

TEST(SettingsCodec, AlsAndLaunchBlocks) {
    expectRoundTrips(Block::Als, {
                                     {"ALS_min", 20, 0, hex("28")},
                                     {"ALS_min", 0.5, 0, hex("01")},
                                     {"ALS_max", 80, 1, hex("A0")},
                                     {"ALS_max", 100, 1, hex("C8")},
                                     {"ALS_active", 1, 2, hex("01")},
                                     {"ALS_active", 0, 2, hex("00")},
                                 });
    expectRoundTrips(Block::Launch, {
                                        {"Launch_min", 33.5, 0, hex("43")},
                                        {"Launch_max", 99.5, 1, hex("C7")},
                                        {"Launch_active", 1, 2, hex("01")},
                                    });
    expectEncodes(Block::Als, {{"ALS_min", 0.25, 0, hex("00")}, {"ALS_min", 0.75, 0, hex("02")}});
    // Only the byte 1 checks the box.
    for (Block b : {Block::Als, Block::Launch}) {
        const std::string box = b == Block::Als ? "ALS_active" : "Launch_active";
        expectDecodes(b, {{2, hex("01"), box, 1}, {2, hex("02"), box, 0}, {2, hex("FF"), box, 0}});
        expectUnusedBytesIgnored(b, {3});
    }
    // The ALS frame data of 20 %, 80 %, checked.
    SettingsImage image;
    image.setValue("ALS_min", 20);
    image.setValue("ALS_max", 80);
    image.setValue("ALS_active", 1);
    EXPECT_EQ(image.encode(Block::Als), hex("28 A0 01 00"));
}

TEST(SettingsCodec, ThrottleSettingsBlock) {
    std::vector<FieldCase> cases{
        {"Startup_opening", 20, 0, hex("28")},
        {"Startup_opening", 0.5, 0, hex("01")},
        {"Startup_watertemp_up_to_1", -20, 1, hex("00")},
        {"Startup_watertemp_up_to_1", 135, 1, hex("9B")},
        {"startup_Airco", 10, 26, hex("14")},
        {"startup_high_idle", 9.5, 27, hex("13")},
        {"startup_blib_max_opening", 50, 28, hex("64")},
        {"startup_blib_max_opening_time", 2000, 29, hex("C8")},
        {"startup_blib_max_opening_time", 10, 29, hex("01")},
        {"startup_Throttle_limit", 100, 30, hex("C8")},
        {"Anti_stall_RPM_trigger", 2500, 31, hex("FA")},
        {"Anti_stall_point", 10, 32, hex("14")},
        {"Anti_stall_RPM", 1230, 33, hex("7B")},
        {"Anti_stall_time", 5000, 34, hex("C8")},
        {"Anti_stall_time", 25, 34, hex("01")},
    };
    for (int k = 1; k <= 5; ++k) {
        const auto kk = static_cast<std::size_t>(k);
        const auto b = [](int v) { return Bytes{static_cast<std::uint8_t>(v)}; };
        cases.push_back({n("Startup_watertemp_up_to_", k), 30.0 * k - 25, kk, b(30 * k - 5)});
        cases.push_back({n("startup_400rpm_", k), 4.0 * k - 0.5, 5 + kk, b(8 * k - 1)});
        cases.push_back({n("startup_warmup_", k), 3.5 * k, 10 + kk, b(7 * k)});
        cases.push_back({n("startup_high_idle_procent_", k), 20.0 - 1.5 * k, 15 + kk, b(40 - 3 * k)});
        cases.push_back({n("startup_high_idle_sec_", k), 51.0 * k, 20 + kk, b(51 * k)});
    }
    expectRoundTrips(Block::ThrottleSettings, cases);
    expectEncodes(Block::ThrottleSettings, {
                                               {"Anti_stall_time", 30, 34, hex("01")},                // 1.2
                                               {"startup_blib_max_opening_time", 15, 29, hex("02")},  // 1.5
                                               {"startup_blib_max_opening_time", 25, 29, hex("02")},  // 2.5
                                           });
    expectDecodes(Block::ThrottleSettings, {
                                               {1, hex("00"), "Startup_watertemp_up_to_1", -20},
                                               {5, hex("FF"), "Startup_watertemp_up_to_5", 235},
                                               {34, hex("FF"), "Anti_stall_time", 6375},
                                           });
    expectUnusedBytesIgnored(Block::ThrottleSettings, {35});
}

TEST(SettingsCodec, CanSettingsBlock) {
    expectRoundTrips(Block::CanSettings, {
                                             {"CAN_settings_Baudrate", 4, 0, hex("04")},
                                             {"CAN_settings_Protocol", 1, 1, hex("01")},
                                             {"CAN_settings_Protocol", 3, 1, hex("03")},
                                             {"CAN_Master_Slave", 2, 2, hex("02")},
                                             {"CAN_slaves", 12, 3, hex("0C")},
                                             {"CAN_slaves", 0, 3, hex("00")},
                                         });
    expectDecodes(Block::CanSettings, {
                                          {0, hex("09"), "CAN_settings_Baudrate", 4},
                                          {1, hex("04"), "CAN_settings_Protocol", 3},
                                          {2, hex("03"), "CAN_Master_Slave", 2},
                                      });
    expectUnusedBytesIgnored(Block::CanSettings, {4, 5});
}

TEST(SettingsCodec, CanMessageBlock) {
    std::vector<FieldCase> cases;
    std::vector<DecodeCase> decodes;
    std::vector<std::size_t> unused;
    for (int m = 1; m <= 12; ++m) {
        const auto base = 10 * static_cast<std::size_t>(m - 1);
        const auto b = [](int v) { return Bytes{static_cast<std::uint8_t>(v)}; };
        const auto mm = static_cast<std::uint8_t>(m);
        cases.push_back({n("msg_valid_", m), 1, base, hex("08")});
        cases.push_back({n("Mode_On_", m), 1, base, hex("04")});
        cases.push_back({n("ID_29Bit_", m), 1, base, hex("02")});
        cases.push_back({n("ID_11Bit_", m), 0, base, hex("02")});
        cases.push_back({n("ID_11Bit_", m), 1, base, hex("00")});
        cases.push_back({n("Tx_", m), 1, base, hex("01")});
        cases.push_back({n("Rx_", m), 0, base, hex("01")});
        cases.push_back({n("Rx_", m), 1, base, hex("00")});
        cases.push_back({n("DLC_", m), d((m + 3) % 8), base + 1, b((m + 3) % 8)});
        cases.push_back({n("CAN_ID_", m), 16843009.0 * m, base + 2, Bytes{mm, mm, mm, mm}});
        cases.push_back({n("TimeOut_ms_", m), 80.0 * m, base + 7, b(16 * m)});
        cases.push_back({n("Start_bit_Mode_", m), d((m * 5) % 8), base + 8, b((m * 5) % 8)});
        decodes.push_back({base + 1, hex("0C"), n("DLC_", m), 7});
        decodes.push_back({base + 2, hex("12 34 56 78"), n("CAN_ID_", m), 305419896});
        decodes.push_back({base + 8, hex("08"), n("Start_bit_Mode_", m), 7});
        unused.push_back(base + 6);
        unused.push_back(base + 9);
    }
    cases.push_back({"CAN_ID_1", 305419896, 2, hex("12 34 56 78")});
    cases.push_back({"CAN_ID_12", 536870969, 112, hex("20 00 00 39")});
    cases.push_back({"CAN_ID_5", 0, 42, hex("00 00 00 00")});
    cases.push_back({"TimeOut_ms_1", 1000, 7, hex("C8")});
    cases.push_back({"TimeOut_ms_1", 5, 7, hex("01")});
    cases.push_back({"DLC_3", 7, 21, hex("07")});
    expectRoundTrips(Block::CanMessages, cases);
    expectDecodes(Block::CanMessages, decodes);
    expectUnusedBytesIgnored(Block::CanMessages, unused);
}

TEST(SettingsCodec, CanMessageFlagsAreOneByteWithComplements) {
    struct FlagCase {
        std::uint8_t byte;
        int valid, modeOn, id29, tx;
    };
    const FlagCase cases[] = {{0x00, 0, 0, 0, 0}, {0x0F, 1, 1, 1, 1}, {0x0A, 1, 0, 1, 0},
                              {0x05, 0, 1, 0, 1}, {0x01, 0, 0, 0, 1}, {0xF0, 0, 0, 0, 0}};
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.byte));
        Bytes block(blockSize(Block::CanMessages), 0);
        block[70] = c.byte;  // message 8
        SettingsImage image;
        ASSERT_TRUE(image.decode(Block::CanMessages, block));
        EXPECT_EQ(*image.value("msg_valid_8"), c.valid);
        EXPECT_EQ(*image.value("Mode_On_8"), c.modeOn);
        EXPECT_EQ(*image.value("ID_29Bit_8"), c.id29);
        EXPECT_EQ(*image.value("ID_11Bit_8"), 1 - c.id29);
        EXPECT_EQ(*image.value("Tx_8"), c.tx);
        EXPECT_EQ(*image.value("Rx_8"), 1 - c.tx);
        // Encoding: Tx + 2 ID_29Bit + 4 Mode_On + 8 msg_valid; the other bits are not written.
        EXPECT_EQ(image.encode(Block::CanMessages)[70], (c.byte & 0x0F));
    }
}

TEST(SettingsCodec, CanChannelBlock) {
    std::vector<FieldCase> cases;
    std::vector<std::size_t> unused;
    const auto s24 = [](int raw) {
        const int u = raw < 0 ? raw + 0x1000000 : raw;
        return Bytes{static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>((u >> 8) & 0xFF),
                     static_cast<std::uint8_t>(u & 0xFF)};
    };
    const auto b = [](int v) { return Bytes{static_cast<std::uint8_t>(v)}; };
    for (int c = 1; c <= 18; ++c) {
        const auto base = 14 * static_cast<std::size_t>(c - 1);
        const int modeIndex = 3 * c;  // mode 3c - 1
        const int nameIndex = c % 12;
        cases.push_back({n("msg_nr_", c), d(c % 9), base, b(c % 9)});
        cases.push_back({n("data_type_", c), d(c % 7), base + 1, b(c % 7)});
        cases.push_back({n("Mode_nr_", c), d(modeIndex), base + 2, b(modeIndex - 1)});
        cases.push_back({n("Start_bit_", c), d(3 * c + 7), base + 3, b(3 * c + 7)});
        cases.push_back({n("digits_", c), d(c % 4), base + 4, b(c % 4)});
        cases.push_back({n("Factor_", c), 55555.0 * c / 1000, base + 5, s24(55555 * c)});
        cases.push_back({n("Factor_", c), -11111.0 * c / 1000, base + 5, s24(-11111 * c)});
        cases.push_back({n("offset_", c), -54321.0 * c / 1000, base + 8, s24(-54321 * c)});
        cases.push_back(
            {n("Channel_name_", c), d(nameIndex), base + 11, b(nameIndex < 5 ? nameIndex : nameIndex + 95)});
        cases.push_back({n("Unit_", c), d(c % 4), base + 12, b(c % 4)});
        unused.push_back(base + 13);
    }
    cases.push_back({"Mode_nr_1", 0, 2, hex("40")});   // "Off" travels as 64
    cases.push_back({"Mode_nr_1", 1, 2, hex("00")});   // mode 0
    cases.push_back({"Mode_nr_1", 64, 2, hex("3F")});  // mode 63
    cases.push_back({"Channel_name_1", 4, 11, hex("04")});
    cases.push_back({"Channel_name_1", 5, 11, hex("64")});
    cases.push_back({"Channel_name_1", 11, 11, hex("6A")});
    cases.push_back({"Factor_1", -1.5, 5, hex("FF FA 24")});
    cases.push_back({"Factor_1", 999.999, 5, hex("0F 42 3F")});
    cases.push_back({"Factor_1", -999.999, 5, hex("F0 BD C1")});
    cases.push_back({"offset_18", 1000, 246, hex("0F 42 40")});
    cases.push_back({"offset_18", 0.001, 246, hex("00 00 01")});
    expectRoundTrips(Block::CanChannels, cases);

    expectDecodes(Block::CanChannels, {
                                          {5, hex("80 00 00"), "Factor_1", 8388.608},
                                          {5, hex("80 00 01"), "Factor_1", -8388.607},
                                          {5, hex("FF FF FF"), "Factor_1", -0.001},
                                          {2, hex("40"), "Mode_nr_1", 0},
                                          {2, hex("00"), "Mode_nr_1", 1},
                                          {2, hex("3F"), "Mode_nr_1", 64},
                                          {2, hex("C8"), "Mode_nr_1", 0},  // limited to 64 first: "Off"
                                          {11, hex("64"), "Channel_name_1", 5},
                                          {11, hex("04"), "Channel_name_1", 4},
                                          {11, hex("6A"), "Channel_name_1", 11},
                                          {11, hex("FF"), "Channel_name_1", 11},
                                          {11, hex("32"), "Channel_name_1", 11},  // mapped 50, then limited
                                          {0, hex("0C"), "msg_nr_1", 8},
                                          {1, hex("07"), "data_type_1", 6},
                                          {3, hex("40"), "Start_bit_1", 63},
                                          {4, hex("04"), "digits_1", 3},
                                          {12, hex("04"), "Unit_1", 3},
                                      });
    expectUnusedBytesIgnored(Block::CanChannels, unused);
}

TEST(SettingsCodec, CanChannelBlockCarriesTheCanChangedFlagInItsLastWord) {
    SettingsImage image;
    EXPECT_FALSE(image.canChanged());
    Bytes encoded = image.encode(Block::CanChannels);
    ASSERT_EQ(encoded.size(), 254u);
    EXPECT_EQ(Bytes(encoded.end() - 2, encoded.end()), hex("00 00"));
    image.setCanChanged(true);
    encoded = image.encode(Block::CanChannels);
    EXPECT_EQ(Bytes(encoded.end() - 2, encoded.end()), hex("01 00"));

    // Decoding ignores the word: the flag belongs to the tool.
    SettingsImage other;
    ASSERT_TRUE(other.decode(Block::CanChannels, encoded));
    EXPECT_FALSE(other.canChanged());
    const Bytes again = other.encode(Block::CanChannels);
    EXPECT_EQ(Bytes(again.end() - 2, again.end()), hex("00 00"));
    EXPECT_EQ(Bytes(encoded.begin(), encoded.end() - 2), Bytes(again.begin(), again.end() - 2));
}

TEST(SettingsCodec, PwmBlock) {
    expectRoundTrips(Block::Pwm, {
                                     {"max_PWM", 100, 0, hex("0B 00")},
                                     {"max_PWM", 50, 0, hex("05 80")},
                                     {"max_PWM", 12.5, 0, hex("01 60")},
                                     {"max_PWM", 0, 0, hex("00 00")},
                                 });
    expectDecodes(Block::Pwm, {{0, hex("05 80"), "max_PWM", 50}});
    // A value between the wire steps (0.0355 %) comes back as the nearest wire value, which shows
    // with one decimal as the value given.
    SettingsImage image;
    image.setValue("max_PWM", 50.3);
    const Bytes encoded = image.encode(Block::Pwm);
    EXPECT_EQ(encoded, hex("05 88"));  // round(1416.448)
    SettingsImage back;
    ASSERT_TRUE(back.decode(Block::Pwm, encoded));
    char shown[16];
    std::snprintf(shown, sizeof shown, "%.1f", *back.value("max_PWM"));
    EXPECT_STREQ(shown, "50.3");
    EXPECT_EQ(back.encode(Block::Pwm), encoded);
}

TEST(SettingsCodec, IdleStartBlock) {
    expectRoundTrips(Block::IdleStart, {
                                           {"beginwaarde", 400, 0, hex("00 00")},
                                           {"beginwaarde", 420, 0, hex("00 01")},
                                           {"beginwaarde", 980, 0, hex("00 1D")},
                                       });
    expectEncodes(Block::IdleStart,
                  {
                      {"beginwaarde", 450, 0, hex("00 02")},    // 2.5 -> 2
                      {"beginwaarde", 470, 0, hex("00 04")},    // 3.5 -> 4
                      {"beginwaarde", 410.5, 0, hex("00 00")},  // round(10.5) = 10, 0.5 -> 0
                  });
    expectDecodes(Block::IdleStart, {
                                        {0, hex("00 1D"), "beginwaarde", 980},
                                        // The first byte weighs like the rest of the word: 400 + 20 * 256.
                                        {0, hex("01 00"), "beginwaarde", 5520},
                                    });
}

TEST(SettingsCodec, DecodeRefusesAWrongLengthAndChangesNothing) {
    SettingsImage image;
    image.setValue("ALS_min", 20);
    image.setCell(SettingsImage::Table::Throttle_limit, 3, 40);
    int notified = 0;
    image.changed = [&] { ++notified; };
    for (Block b : etc::settings::kBlocks) {
        const std::size_t size = blockSize(b);
        const Bytes shorter(size - 1, 0x11);
        const Bytes longer(size + 1, 0x11);
        EXPECT_FALSE(image.decode(b, shorter)) << static_cast<int>(b);
        EXPECT_FALSE(image.decode(b, longer)) << static_cast<int>(b);
    }
    EXPECT_FALSE(image.decode(static_cast<Block>(20), Bytes(2, 0)));
    EXPECT_TRUE(image.encode(static_cast<Block>(20)).empty());
    EXPECT_EQ(notified, 0);
    const SettingsImage fresh;
    for (Block b : etc::settings::kBlocks) {
        if (b == Block::Als || b == Block::ThrottleLimit)
            continue;
        EXPECT_EQ(image.encode(b), fresh.encode(b)) << static_cast<int>(b);
    }
    EXPECT_EQ(*image.value("ALS_min"), 20);
    EXPECT_EQ(image.cell(SettingsImage::Table::Throttle_limit, 3), 40);
}

TEST(SettingsCodec, ControlLoopTakesOnlyTheFirstEighteenWords) {
    SettingsImage source;
    source.setValue("P_versterking", 2.57);
    source.setValue("Dvtime_neg", 42);
    source.setValue("PErrorOffSet", 3.5);
    source.setValue("Min_value_TPS1", 777);
    source.setValue("pedal2_Inverted", 1);
    source.setValue("Error_setup_3", 1);
    const Bytes etcBlock = source.encode(Block::Etc);

    for (std::size_t length : {std::size_t{36}, etcBlock.size()}) {
        SCOPED_TRACE(length);
        SettingsImage image;
        image.setValue("Min_value_TPS1", 123);
        ASSERT_TRUE(image.decodeControlLoop(etc::link::ByteView(etcBlock).first(length)));
        EXPECT_DOUBLE_EQ(*image.value("P_versterking"), 2.57);
        EXPECT_EQ(*image.value("Dvtime_neg"), 42);
        EXPECT_EQ(*image.value("PErrorOffSet"), 3.5);
        EXPECT_EQ(*image.value("Min_value_TPS1"), 123);
        EXPECT_EQ(*image.value("pedal2_Inverted"), 0);
        EXPECT_EQ(*image.value("Error_setup_3"), 0);
    }
    SettingsImage image;
    EXPECT_FALSE(image.decodeControlLoop(etc::link::ByteView(etcBlock).first(35)));
    EXPECT_EQ(*image.value("P_versterking"), 0);
}

}  // namespace
