// The settings image beyond the scalar codecs: start values, the field list, the tables and curves with
// their follow-up rules, the calibration limits, change notification, and a whole image round trip.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "settings/settings_image.h"
#include "settings/settings_texts.h"

using etc::link::Bytes;
using etc::settings::Block;
using etc::settings::BlockMap;
using etc::settings::FieldInfo;
using etc::settings::FieldKind;
using etc::settings::kBlocks;
using etc::settings::SettingsImage;
using Table = etc::settings::SettingsImage::Table;

namespace {

std::string n(const char* stem, int number) {
    return stem + std::to_string(number);
}

std::size_t blockSize(Block b) {
    return 2 * static_cast<std::size_t>(BlockMap::layout(b).words);
}

std::string itemText(const SettingsImage& image, const std::string& field) {
    const auto items = SettingsImage::items(field);
    const auto index = static_cast<std::size_t>(*image.value(field));
    return index < items.size() ? std::string(items[index]) : std::string("<none>");
}

TEST(SettingsImage, StartsWithTheScreensStartValues) {
    const SettingsImage image;
    EXPECT_FALSE(image.blockMap().isSet());
    EXPECT_FALSE(image.canChanged());
    EXPECT_EQ(*image.value("beginwaarde"), 400);
    for (int k = 1; k <= 21; ++k)
        EXPECT_EQ(*image.value(n("RPM_Range_Row", k)), 500 * k);
    EXPECT_EQ(*image.value("CAN_slaves"), 1);
    EXPECT_EQ(itemText(image, "CAN_settings_Baudrate"), "Autodetect");
    EXPECT_EQ(itemText(image, "CAN_settings_Protocol"), "Off");
    EXPECT_EQ(itemText(image, "CAN_Master_Slave"), "Off");
    for (int m = 1; m <= 12; ++m) {
        EXPECT_EQ(itemText(image, n("DLC_", m)), "8");
        EXPECT_EQ(*image.value(n("TimeOut_ms_", m)), 1000);
        EXPECT_EQ(itemText(image, n("Start_bit_Mode_", m)), "0");
        EXPECT_EQ(*image.value(n("CAN_ID_", m)), 536870969);
        EXPECT_EQ(*image.value(n("msg_valid_", m)), 0);
        EXPECT_EQ(*image.value(n("Mode_On_", m)), 0);
        EXPECT_EQ(*image.value(n("Rx_", m)), 1);
        EXPECT_EQ(*image.value(n("Tx_", m)), 0);
        EXPECT_EQ(*image.value(n("ID_11Bit_", m)), 1);
        EXPECT_EQ(*image.value(n("ID_29Bit_", m)), 0);
    }
    for (int c = 1; c <= 18; ++c) {
        EXPECT_EQ(itemText(image, n("msg_nr_", c)), "Off");
        EXPECT_EQ(itemText(image, n("data_type_", c)), "1 bit");
        EXPECT_EQ(itemText(image, n("Start_bit_", c)), "0");
        EXPECT_EQ(itemText(image, n("Mode_nr_", c)), "Off");
        EXPECT_EQ(*image.value(n("Factor_", c)), 0);
        EXPECT_EQ(*image.value(n("offset_", c)), 0);
        EXPECT_EQ(itemText(image, n("digits_", c)), "0");
        EXPECT_EQ(itemText(image, n("Channel_name_", c)), "Noname");
        EXPECT_EQ(itemText(image, n("Unit_", c)), "Blanc");
    }
    // Every other field starts at 0 (the first item of a choice).
    const std::set<std::string> nonZero{"beginwaarde", "CAN_slaves"};
    for (const FieldInfo& f : SettingsImage::fields()) {
        const std::string name(f.name);
        if (nonZero.count(name) || name.rfind("RPM_Range_Row", 0) == 0 || name.rfind("DLC_", 0) == 0 ||
            name.rfind("TimeOut_ms_", 0) == 0 || name.rfind("CAN_ID_", 0) == 0 || name.rfind("Rx_", 0) == 0 ||
            name.rfind("ID_11Bit_", 0) == 0)
            continue;
        EXPECT_EQ(*image.value(name), 0) << name;
    }
    for (Table t : {Table::Throttle_response_curve_1, Table::Throttle_response_curve_2, Table::Throttle_limit,
                    Table::openloop_idle, Table::PositieveSollwert})
        for (int c = 0; c < SettingsImage::columns(t); ++c)
            EXPECT_EQ(image.cell(t, c), 0);
    for (int curve : {1, 2})
        for (std::uint8_t p : image.userCurve(curve))
            EXPECT_EQ(p, 0);
    EXPECT_FALSE(image.curveWarning(1));
    EXPECT_FALSE(image.curveWarning(2));
}

TEST(SettingsImage, FieldListIsInBlockOrderWithUniqueNames) {
    const auto& fields = SettingsImage::fields();
    std::set<std::string_view> names;
    std::size_t lastBlock = 0;
    for (const FieldInfo& f : fields) {
        EXPECT_TRUE(names.insert(f.name).second) << f.name;
        const auto position =
            static_cast<std::size_t>(std::find(kBlocks.begin(), kBlocks.end(), f.block) - kBlocks.begin());
        ASSERT_LT(position, kBlocks.size()) << f.name;
        EXPECT_GE(position, lastBlock) << f.name;
        lastBlock = position;
        EXPECT_LE(f.minimum, f.maximum) << f.name;
        EXPECT_GT(f.step, 0) << f.name;
        if (f.kind == FieldKind::Choice) {
            EXPECT_EQ(static_cast<std::size_t>(f.items), SettingsImage::items(f.name).size()) << f.name;
            EXPECT_EQ(f.maximum, f.items - 1) << f.name;
        } else {
            EXPECT_EQ(f.items, 0) << f.name;
            EXPECT_TRUE(SettingsImage::items(f.name).empty()) << f.name;
        }
    }
    // 4 curve options, 37 ETC words and 32 error boxes, 5 hardware, 22 RPM, 3 + 3 ALS and launch,
    // 35 throttle settings, 4 CAN settings, 12 x 10 message and 18 x 9 channel fields, max_PWM,
    // beginwaarde.
    EXPECT_EQ(fields.size(), 4u + 69 + 5 + 22 + 6 + 35 + 4 + 120 + 162 + 1 + 1);
    EXPECT_FALSE(SettingsImage().value("No_such_field").has_value());
    EXPECT_FALSE(SettingsImage().setValue("No_such_field", 1));
}

TEST(SettingsImage, ChoiceItemCountsAndTexts) {
    struct ItemCase {
        const char* field;
        std::size_t count;
        const char* first;
        const char* last;
    };
    const ItemCase cases[] = {
        {"throttle_response_type_1", 3, "Lineair", "User defined"},
        {"hardware_settings_digital_input_2", 8, "None", "Throttle response curve 2"},
        {"hardware_settings_digital_input_3", 9, "None", "RPM input"},
        {"hardware_settings_analoge_input_1", 5, "None", "Engine load"},
        {"RPM_pickup_pulses_per_revolution", 8, "0,5", " 5"},
        {"CAN_settings_Baudrate", 5, "Autodetect", "1 MHz"},
        {"CAN_settings_Protocol", 4, "Off", "......"},
        {"CAN_Master_Slave", 3, "Off", "Slave"},
        {"DLC_12", 8, "1", "8"},
        {"Start_bit_Mode_1", 8, "0", "56"},
        {"msg_nr_18", 9, "Off", "8"},
        {"data_type_1", 7, "1 bit", "16 bit signed mot."},
        {"Mode_nr_7", 65, "Off", "63"},
        {"Start_bit_3", 64, "0", "63"},
        {"digits_1", 4, "0", "0,000"},
        {"Channel_name_1", 12, "Noname", "Curve2Activation"},
        {"Unit_1", 4, "Blanc", "%"},
    };
    for (const ItemCase& c : cases) {
        const auto items = SettingsImage::items(c.field);
        ASSERT_EQ(items.size(), c.count) << c.field;
        EXPECT_EQ(items.front(), c.first) << c.field;
        EXPECT_EQ(items.back(), c.last) << c.field;
    }
    EXPECT_EQ(SettingsImage::items("Unit_2")[2], "\u00B0C");
    EXPECT_EQ(SettingsImage::items("Mode_nr_1")[1], "0");
    EXPECT_EQ(SettingsImage::items("Channel_name_1")[5], "ALSActivation");
}

TEST(SettingsImage, ComplementBoxesAreTheOppositeOfTheirPartners) {
    SettingsImage image;
    ASSERT_TRUE(image.setValue("ID_29Bit_4", 1));
    EXPECT_EQ(*image.value("ID_11Bit_4"), 0);
    ASSERT_TRUE(image.setValue("ID_11Bit_4", 1));
    EXPECT_EQ(*image.value("ID_29Bit_4"), 0);
    ASSERT_TRUE(image.setValue("Rx_9", 0));
    EXPECT_EQ(*image.value("Tx_9"), 1);
    EXPECT_EQ(*image.value("Tx_8"), 0);
    EXPECT_TRUE(image.field("Rx_9")->complement);
    EXPECT_FALSE(image.field("Tx_9")->complement);
}

TEST(SettingsImage, CurveBlockSetsTheStoredCurveAndTheGridAndTheWarning) {
    Bytes block(22, 0);
    const std::uint8_t points[] = {0,   10,  20,  15,  30,  40,  50,  60,  70,  80, 90,
                                   100, 110, 120, 130, 140, 150, 160, 170, 180, 200};
    std::copy(std::begin(points), std::end(points), block.begin());
    block[21] = 0xEE;  // not used
    for (int curve : {1, 2}) {
        SCOPED_TRACE(curve);
        SettingsImage image;
        const Table table = curve == 1 ? Table::Throttle_response_curve_1 : Table::Throttle_response_curve_2;
        ASSERT_TRUE(image.decode(curve == 1 ? Block::Curve1 : Block::Curve2, block));
        for (int c = 0; c < 21; ++c) {
            EXPECT_EQ(image.userCurve(curve)[static_cast<std::size_t>(c)], points[c]);
            EXPECT_EQ(image.cell(table, c), points[c] / 2.0);
        }
        EXPECT_TRUE(image.curveWarning(curve));
        EXPECT_FALSE(image.curveWarning(3 - curve));

        // A flat curve shows no warning.
        ASSERT_TRUE(image.decode(curve == 1 ? Block::Curve1 : Block::Curve2, Bytes(22, 77)));
        EXPECT_FALSE(image.curveWarning(curve));
    }
    EXPECT_EQ(SettingsImage::curveWarningText(1), etc::settings::kCurve1WarningText);
    EXPECT_EQ(SettingsImage::curveWarningText(1),
              "Values in throttle response curve 1 needs to be increasing or equal !!!");
    EXPECT_EQ(SettingsImage::curveWarningText(2),
              "Values in throttle response curve 2 needs to be increasing or equal !!!");
}

TEST(SettingsImage, CurveBlocksCarryTheStoredCurveNotTheGrid) {
    SettingsImage image;
    std::array<std::uint8_t, 21> points{};
    for (std::size_t c = 0; c < points.size(); ++c)
        points[c] = static_cast<std::uint8_t>(10 * c);
    image.setUserCurve(2, points);
    image.setCell(Table::Throttle_response_curve_2, 4, 99);
    const Bytes encoded = image.encode(Block::Curve2);
    ASSERT_EQ(encoded.size(), 22u);
    EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 21), Bytes(points.begin(), points.end()));
    EXPECT_EQ(encoded[21], 0);
    EXPECT_EQ(image.encode(Block::Curve1), Bytes(22, 0));
}

TEST(SettingsImage, CurveOptionsRedrawBothCurvesFromTheirTypes) {
    const double elog[] = {0,    2,    4,    6,  8.5,  11, 14.5, 17,   20.5, 24, 28.5,
                           33.5, 38.5, 43.5, 50, 56.5, 64, 72,   80.5, 90.5, 100};
    SettingsImage image;
    Bytes falling(22, 0);
    for (std::size_t c = 0; c < 21; ++c)
        falling[c] = static_cast<std::uint8_t>(200 - 5 * c);
    ASSERT_TRUE(image.decode(Block::Curve1, falling));
    ASSERT_TRUE(image.decode(Block::Curve2, falling));
    ASSERT_TRUE(image.curveWarning(1));

    struct TypeCase {
        std::uint8_t type1, type2;
    };
    for (const TypeCase& t : {TypeCase{0, 1}, TypeCase{1, 7}, TypeCase{7, 0}, TypeCase{2, 2}}) {
        SCOPED_TRACE(std::to_string(t.type1) + "/" + std::to_string(t.type2));
        ASSERT_TRUE(image.decode(Block::CurveOptions, Bytes{t.type1, 9, t.type2, 250}));
        EXPECT_EQ(*image.value("throttle_response_curve_1_acc_limiter"), 4.5);
        EXPECT_EQ(*image.value("throttle_response_curve_2_acc_limiter"), 125);
        for (int curve : {1, 2}) {
            const int type = std::min<int>(2, curve == 1 ? t.type1 : t.type2);
            EXPECT_EQ(*image.value(n("throttle_response_type_", curve)), type);
            const Table table =
                curve == 1 ? Table::Throttle_response_curve_1 : Table::Throttle_response_curve_2;
            for (int c = 0; c < 21; ++c) {
                const double expected = type == 0 ? 5.0 * c : type == 1 ? elog[c] : (200 - 5 * c) / 2.0;
                EXPECT_EQ(image.cell(table, c), expected) << "curve " << curve << " column " << c;
            }
            EXPECT_EQ(image.curveWarning(curve), type == 2);
            // The stored user curve is kept whatever the type.
            EXPECT_EQ(image.userCurve(curve)[20], 100);
        }
    }
}

TEST(SettingsImage, ElogThenUserDefinedBringsBackTheStoredCurve) {
    SettingsImage image;
    std::array<std::uint8_t, 21> points{};
    for (std::size_t c = 0; c < points.size(); ++c)
        points[c] = static_cast<std::uint8_t>(c * c / 2);
    image.setUserCurve(1, points);
    image.setValue("throttle_response_type_1", 1);
    image.redrawCurve(1);
    EXPECT_EQ(image.cell(Table::Throttle_response_curve_1, 8), 20.5);
    image.setValue("throttle_response_type_1", 2);
    image.redrawCurve(1);
    for (int c = 0; c < 21; ++c)
        EXPECT_EQ(image.cell(Table::Throttle_response_curve_1, c), points[static_cast<std::size_t>(c)] / 2.0);
    EXPECT_EQ(image.userCurve(1), points);
    // The rising check follows every change of the grid.
    image.setCell(Table::Throttle_response_curve_1, 10, 0);
    EXPECT_TRUE(image.curveWarning(1));
    image.setCell(Table::Throttle_response_curve_1, 10, points[10] / 2.0);
    EXPECT_FALSE(image.curveWarning(1));
}

TEST(SettingsImage, HalfPercentTablesUseOneBytePerCell) {
    for (Block block : {Block::ThrottleLimit, Block::IdleTable}) {
        SCOPED_TRACE(static_cast<int>(block));
        const Table table = block == Block::ThrottleLimit ? Table::Throttle_limit : Table::openloop_idle;
        SettingsImage image;
        for (int c = 0; c < 21; ++c)
            image.setCell(table, c, 0.5 * (c * 9 % 21));
        Bytes encoded = image.encode(block);
        ASSERT_EQ(encoded.size(), 22u);
        for (int c = 0; c < 21; ++c)
            EXPECT_EQ(encoded[static_cast<std::size_t>(c)], c * 9 % 21);
        EXPECT_EQ(encoded[21], 0);
        encoded[21] = 0xAB;  // not used
        SettingsImage back;
        ASSERT_TRUE(back.decode(block, encoded));
        for (int c = 0; c < 21; ++c)
            EXPECT_EQ(back.cell(table, c), image.cell(table, c));
        EXPECT_EQ(back.encode(block)[21], 0);

        // Cells keep exact values; the wire rounds them, halves to even.
        image.setCell(table, 0, 33.3);  // 66.6
        image.setCell(table, 1, 0.25);  // 0.5
        image.setCell(table, 2, 0.75);  // 1.5
        image.setCell(table, 3, 100);   // 200
        encoded = image.encode(block);
        EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 4), (Bytes{67, 0, 2, 200}));
        EXPECT_EQ(image.cell(table, 0), 33.3);
    }
}

TEST(SettingsImage, PedalCorrectionCellsAreSignedWords) {
    SettingsImage image;
    ASSERT_EQ(SettingsImage::columns(Table::PositieveSollwert), 255);
    for (int k = 0; k < 255; ++k)
        image.setCell(Table::PositieveSollwert, k, (k * 37) % 4097 - 2048);
    image.setCell(Table::PositieveSollwert, 0, -5);
    image.setCell(Table::PositieveSollwert, 1, 2048);
    image.setCell(Table::PositieveSollwert, 254, -2048);
    Bytes encoded = image.encode(Block::PedalCorrection);
    ASSERT_EQ(encoded.size(), 510u);
    EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 4),
              (Bytes{0xFF, 0xFB, 0x08, 0x00}));  // high byte first
    EXPECT_EQ(Bytes(encoded.end() - 2, encoded.end()), (Bytes{0xF8, 0x00}));
    SettingsImage back;
    ASSERT_TRUE(back.decode(Block::PedalCorrection, encoded));
    for (int k = 0; k < 255; ++k)
        EXPECT_EQ(back.cell(Table::PositieveSollwert, k), image.cell(Table::PositieveSollwert, k)) << k;
    // Rounding to whole numbers, halves to even.
    image.setCell(Table::PositieveSollwert, 2, 2.5);
    image.setCell(Table::PositieveSollwert, 3, -3.5);
    encoded = image.encode(Block::PedalCorrection);
    EXPECT_EQ(Bytes(encoded.begin() + 4, encoded.begin() + 8), (Bytes{0x00, 0x02, 0xFF, 0xFC}));
}

TEST(SettingsImage, CellsOutsideTheTableAreIgnored) {
    SettingsImage image;
    int notified = 0;
    image.changed = [&] { ++notified; };
    image.setCell(Table::Throttle_limit, 21, 5);
    image.setCell(Table::Throttle_limit, -1, 5);
    image.setCell(Table::PositieveSollwert, 255, 5);
    EXPECT_EQ(image.cell(Table::Throttle_limit, 21), 0);
    EXPECT_EQ(image.cell(Table::PositieveSollwert, 255), 0);
    EXPECT_EQ(image.encode(Block::ThrottleLimit), Bytes(22, 0));
    EXPECT_EQ(notified, 0);
}

TEST(SettingsImage, AxisHeaders) {
    SettingsImage image;
    const auto curve = image.axisHeaders(Table::Throttle_response_curve_1);
    ASSERT_EQ(curve.size(), 21u);
    EXPECT_EQ(curve[0], "    0");
    EXPECT_EQ(curve[1], "    5");
    EXPECT_EQ(curve[2], "   10");
    EXPECT_EQ(curve[19], "   95");
    EXPECT_EQ(curve[20], " 100%");
    EXPECT_EQ(image.axisHeaders(Table::Throttle_response_curve_2), curve);

    const auto setpoints = image.axisHeaders(Table::PositieveSollwert);
    ASSERT_EQ(setpoints.size(), 255u);
    EXPECT_EQ(setpoints.front(), "1");
    EXPECT_EQ(setpoints.back(), "255");

    auto limit = image.axisHeaders(Table::Throttle_limit);
    ASSERT_EQ(limit.size(), 21u);
    EXPECT_EQ(limit.front(), "500");
    EXPECT_EQ(limit.back(), "10500");

    const auto idle = image.axisHeaders(Table::openloop_idle);
    ASSERT_EQ(idle.size(), 21u);
    EXPECT_EQ(idle.front(), "400");
    EXPECT_EQ(idle.back(), "800");
}

TEST(SettingsImage, RpmBlockSetsTheThrottleLimitAxisButEditsWaitForARefresh) {
    SettingsImage image;
    Bytes block(44, 0);
    for (std::size_t k = 0; k < 21; ++k) {
        const int w = 60 + 75 * static_cast<int>(k);  // 600 .. 15600 RPM
        block[2 * k] = static_cast<std::uint8_t>(w >> 8);
        block[2 * k + 1] = static_cast<std::uint8_t>(w & 0xFF);
    }
    ASSERT_TRUE(image.decode(Block::Rpm, block));
    auto headers = image.axisHeaders(Table::Throttle_limit);
    for (int k = 0; k < 21; ++k)
        EXPECT_EQ(headers[static_cast<std::size_t>(k)], std::to_string(600 + 750 * k));

    image.setValue("RPM_Range_Row1", 550);
    EXPECT_EQ(image.axisHeaders(Table::Throttle_limit).front(), "600");
    image.refreshThrottleLimitAxis();
    EXPECT_EQ(image.axisHeaders(Table::Throttle_limit).front(), "550");
}

TEST(SettingsImage, IdleStartBlockMovesTheIdleAxis) {
    SettingsImage image;
    ASSERT_TRUE(image.decode(Block::IdleStart, Bytes{0x00, 0x1D}));
    EXPECT_EQ(*image.value("beginwaarde"), 980);
    const auto idle = image.axisHeaders(Table::openloop_idle);
    ASSERT_EQ(idle.size(), 21u);
    for (int c = 0; c < 21; ++c)
        EXPECT_EQ(idle[static_cast<std::size_t>(c)], std::to_string(980 + 20 * c));
    EXPECT_EQ(idle.back(), "1380");
}

TEST(SettingsImage, CalibrationBlockIsKeptAndSetsTheTps1Limits) {
    SettingsImage image;
    EXPECT_EQ(image.tps1Limits(), (SettingsImage::Limits{0, 5000, "0...5000"}));
    EXPECT_EQ(image.hulpMaxTps1Limits(), (SettingsImage::Limits{0, 5000, "0...5000"}));
    EXPECT_EQ(image.field("Min_value_TPS1")->maximum, 5000);

    Bytes block(256);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 7 + 3);
    block[60] = 0x01;  // w30 = 500
    block[61] = 0xF4;
    block[62] = 0x11;  // w31 = 4500
    block[63] = 0x94;
    ASSERT_TRUE(image.decode(Block::Calibration, block));
    EXPECT_EQ(image.calibrationWords()[30], 500);
    EXPECT_EQ(image.calibrationWords()[31], 4500);
    EXPECT_EQ(image.calibrationWords()[0], 0x030A);
    EXPECT_EQ(image.encode(Block::Calibration), block);

    EXPECT_EQ(image.tps1Limits(), (SettingsImage::Limits{500, 4500, "500...4500"}));
    EXPECT_EQ(image.hulpMaxTps1Limits(), (SettingsImage::Limits{0, 4500, "1500...4500"}));
    for (const char* name : {"Min_value_TPS1", "Max_value_TPS1"}) {
        const auto info = image.field(name);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->minimum, 500) << name;
        EXPECT_EQ(info->maximum, 4500) << name;
    }
    EXPECT_EQ(image.field("Min_value_TPS2")->maximum, 5000);
    // A shown value outside the new limits is the control's business: the field keeps it.
    image.setValue("Min_value_TPS1", 300);
    ASSERT_TRUE(image.decode(Block::Calibration, block));
    EXPECT_EQ(*image.value("Min_value_TPS1"), 300);

    block[60] = 0x01;  // w30 = 400, w31 = 4600
    block[61] = 0x90;
    block[62] = 0x11;
    block[63] = 0xF8;
    ASSERT_TRUE(image.decode(Block::Calibration, block));
    EXPECT_EQ(image.tps1Limits().hint, "400...4600");
    EXPECT_EQ(image.hulpMaxTps1Limits().hint, "1400...4600");
}

TEST(SettingsImage, ChangesAreNotified) {
    SettingsImage image;
    int notified = 0;
    image.changed = [&] { ++notified; };
    const auto expectOne = [&](const char* what, auto&& action) {
        notified = 0;
        action();
        EXPECT_GE(notified, 1) << what;
    };
    expectOne("setValue", [&] { image.setValue("ALS_min", 3); });
    expectOne("setCell", [&] { image.setCell(Table::openloop_idle, 2, 3); });
    expectOne("setUserCurve", [&] { image.setUserCurve(1, {}); });
    expectOne("redrawCurve", [&] { image.redrawCurve(2); });
    expectOne("refreshThrottleLimitAxis", [&] { image.refreshThrottleLimitAxis(); });
    expectOne("decodeControlLoop", [&] { (void)image.decodeControlLoop(Bytes(36, 0)); });
    for (Block b : kBlocks)
        expectOne("decode", [&] { (void)image.decode(b, Bytes(blockSize(b), 0)); });
    notified = 0;
    image.setValue("No_such_field", 1);
    image.setUserCurve(3, {});
    EXPECT_EQ(notified, 0);
}

// Every field gets a value on its step inside its range (chosen by a fixed-seed generator), every
// table and stored curve varied cells; all blocks are encoded and decoded in block-map order into a
// fresh image, which must then hold the same values and encode to the same bytes.
TEST(SettingsImage, WholeImageRoundTripsThroughItsBlocks) {
    std::mt19937_64 random(20240611);
    const auto pick = [&](std::uint64_t count) { return random() % count; };

    SettingsImage source;
    for (const FieldInfo& f : SettingsImage::fields()) {
        if (f.complement)
            continue;  // set through its partner
        const std::string name(f.name);
        double v = 0;
        if (name == "max_PWM") {
            // Whole wire steps on the 0.1 % grid lie 12.5 % apart.
            v = 12.5 * static_cast<double>(pick(9));
        } else {
            const auto steps = static_cast<std::uint64_t>(std::llround((f.maximum - f.minimum) / f.step));
            const double scale = std::pow(10.0, f.decimals);
            v = std::nearbyint((f.minimum + static_cast<double>(pick(steps + 1)) * f.step) * scale) / scale;
        }
        ASSERT_TRUE(source.setValue(name, v));
    }
    for (int curve : {1, 2}) {
        std::array<std::uint8_t, 21> points{};
        for (auto& p : points)
            p = static_cast<std::uint8_t>(pick(201));
        source.setUserCurve(curve, points);
        source.redrawCurve(curve);
    }
    for (int c = 0; c < 21; ++c) {
        source.setCell(Table::Throttle_limit, c, 0.5 * static_cast<double>(pick(201)));
        source.setCell(Table::openloop_idle, c, 0.5 * static_cast<double>(pick(21)));
    }
    for (int k = 0; k < 255; ++k)
        source.setCell(Table::PositieveSollwert, k, static_cast<double>(pick(4097)) - 2048);
    Bytes calibration(256);
    for (auto& b : calibration)
        b = static_cast<std::uint8_t>(pick(256));
    ASSERT_TRUE(source.decode(Block::Calibration, calibration));
    source.setCanChanged(true);

    std::vector<Bytes> blocks;
    for (Block b : kBlocks) {
        blocks.push_back(source.encode(b));
        ASSERT_EQ(blocks.back().size(), blockSize(b)) << static_cast<int>(b);
    }
    SettingsImage target;
    for (std::size_t i = 0; i < kBlocks.size(); ++i)
        ASSERT_TRUE(target.decode(kBlocks[i], blocks[i])) << static_cast<int>(kBlocks[i]);

    for (const FieldInfo& f : SettingsImage::fields())
        EXPECT_EQ(*target.value(f.name), *source.value(f.name)) << f.name;
    for (Table t : {Table::Throttle_response_curve_1, Table::Throttle_response_curve_2, Table::Throttle_limit,
                    Table::openloop_idle, Table::PositieveSollwert})
        for (int c = 0; c < SettingsImage::columns(t); ++c)
            EXPECT_EQ(target.cell(t, c), source.cell(t, c)) << static_cast<int>(t) << " column " << c;
    EXPECT_EQ(target.userCurve(1), source.userCurve(1));
    EXPECT_EQ(target.userCurve(2), source.userCurve(2));
    EXPECT_EQ(target.calibrationWords(), source.calibrationWords());
    EXPECT_EQ(target.tps1Limits(), source.tps1Limits());
    EXPECT_EQ(target.curveWarning(1), source.curveWarning(1));
    EXPECT_EQ(target.axisHeaders(Table::openloop_idle), source.axisHeaders(Table::openloop_idle));

    // The CAN changed flag travels out but is not read back.
    EXPECT_EQ(Bytes(blocks[13].end() - 2, blocks[13].end()), (Bytes{0x01, 0x00}));
    EXPECT_FALSE(target.canChanged());
    target.setCanChanged(true);
    for (std::size_t i = 0; i < kBlocks.size(); ++i)
        EXPECT_EQ(target.encode(kBlocks[i]), blocks[i]) << static_cast<int>(kBlocks[i]);
}

}  // namespace
