// Live frames as comma-separated rows: a time column, every value in engineering units, the status
// word's bits and the calibration status and error words. The decimal separator is always ".", so the
// file reads the same everywhere.
#pragma once

#include <string>

#include "live/live_frame.h"

namespace etc::live {

[[nodiscard]] std::string csvHeader();
// One row without the line break. An out-of-range temperature leaves its cell empty.
[[nodiscard]] std::string csvRow(double seconds, const LiveFrame& frame);
// One line for a terminal: the dashboard texts with their units.
[[nodiscard]] std::string monitorLine(double seconds, const LiveFrame& frame);

}  // namespace etc::live
