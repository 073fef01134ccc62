// Live frames as CSV rows and monitor lines.
#include <gtest/gtest.h>

#include <sstream>

#include "live/live_csv.h"

using namespace etc::live;

namespace {

std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> cells;
    std::stringstream in(s);
    std::string cell;
    while (std::getline(in, cell, ','))
        cells.push_back(cell);
    if (!s.empty() && s.back() == ',')
        cells.emplace_back();
    return cells;
}

TEST(LiveCsv, RowHasOneCellPerHeaderColumnInEngineeringUnits) {
    LiveFrame f;
    f.engineSpeed = 345;  // 10 rpm
    f.pedal1 = 25;        // 0.5 %
    f.battery = 18;       // 0.25 V above 8 V
    f.waterTemp = 156;    // +20: out of range
    f.etcTemp = 20;
    f.pedal2 = 7;
    f.status = 0x0801;
    f.calibrationStatus = 3;
    f.errorWords = {1, 2, 0xFFFF};
    const auto header = split(csvHeader());
    const auto row = split(csvRow(1.5, f));
    ASSERT_EQ(row.size(), header.size());
    auto cell = [&](const std::string& name) {
        for (std::size_t i = 0; i < header.size(); ++i)
            if (header[i] == name)
                return row[i];
        ADD_FAILURE() << "no column " << name;
        return std::string();
    };
    EXPECT_EQ(cell("time_s"), "1.500");
    EXPECT_EQ(cell("engine_speed_rpm"), "3450");
    EXPECT_EQ(cell("pedal_1_pct"), "12.5");
    EXPECT_EQ(cell("battery_v"), "12.5");
    EXPECT_EQ(cell("water_temp_c"), "");
    EXPECT_EQ(cell("etc_temp_c"), "0");
    EXPECT_EQ(cell("pedal_2_pct"), "3.5");
    EXPECT_EQ(cell("status_word"), "2049");
    EXPECT_EQ(cell("digital_input_1"), "1");
    EXPECT_EQ(cell("digital_input_2"), "0");
    EXPECT_EQ(cell("power_interrupted"), "1");
    EXPECT_EQ(cell("calibration_status"), "3");
    EXPECT_EQ(cell("error_word_3"), "65535");
}

TEST(LiveCsv, MonitorLineShowsDashboardTextsWithUnits) {
    LiveFrame f;
    f.engineSpeed = 1000;
    f.waterTemp = 156;
    const std::string line = monitorLine(0.25, f);
    EXPECT_NE(line.find("rpm 10000 RPM"), std::string::npos) << line;
    EXPECT_NE(line.find("water ---  "), std::string::npos) << line;
    EXPECT_NE(line.find("bat 8.0 V"), std::string::npos) << line;
}

}  // namespace
