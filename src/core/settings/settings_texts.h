// The texts of the settings image as the tool shows them, byte for byte (blanks included).
// Item lists are indexed by the value a choice field holds.
#pragma once

#include <array>
#include <string_view>

namespace etc::settings {

// Warning panels of the response curves (shown while a curve falls somewhere).
inline constexpr std::string_view kCurve1WarningText =
    "Values in throttle response curve 1 needs to be increasing or equal !!!";
inline constexpr std::string_view kCurve2WarningText =
    "Values in throttle response curve 2 needs to be increasing or equal !!!";

// Separator of the range hints ("500...4500").
inline constexpr std::string_view kHintSeparator = "...";

// Row title of the pedal correction grid (its column 0).
inline constexpr std::string_view kPositieveSollwertTitle = "Pos.setpiont";

inline constexpr std::array<std::string_view, 3> kResponseTypeItems{"Lineair", "E-log", "User defined"};

inline constexpr std::array<std::string_view, 8> kDigitalInputItems{
    "None",          "ALS activation", "Launch control activation", "Airco correction", "High idle",
    "Throttle Blip", "Throttle limit", "Throttle response curve 2"};
inline constexpr std::array<std::string_view, 9> kDigitalInput3Items{
    "None",          "ALS activation", "Launch control activation", "Airco correction", "High idle",
    "Throttle Blip", "Throttle limit", "Throttle response curve 2", "RPM input"};
inline constexpr std::array<std::string_view, 5> kAnalogInputItems{
    "None", "Variable ALS", "Variable launch control", "Water temperature", "Engine load"};

inline constexpr std::array<std::string_view, 8> kPulsesPerRevolutionItems{"0,5", " 1", "1,5", " 2",
                                                                           "2,5", " 3", " 4",  " 5"};

// CAN settings page.
inline constexpr std::array<std::string_view, 5> kCanBaudrateItems{"Autodetect", "125 kHz", "250 kHz",
                                                                   "500 kHz", "1 MHz"};
inline constexpr std::array<std::string_view, 4> kCanProtocolItems{"Off", "UserDefined", "OXT R27", "......"};
inline constexpr std::array<std::string_view, 3> kCanMasterSlaveItems{"Off", "Master", "Slave"};

// CAN message definitions.
inline constexpr std::array<std::string_view, 8> kDlcItems{"1", "2", "3", "4", "5", "6", "7", "8"};
inline constexpr std::array<std::string_view, 8> kStartBitModeItems{"0",  "8",  "16", "24",
                                                                    "32", "40", "48", "56"};

// CAN receive channels.
inline constexpr std::array<std::string_view, 9> kMsgNrItems{"Off", "1", "2", "3", "4", "5", "6", "7", "8"};
inline constexpr std::array<std::string_view, 7> kDataTypeItems{"1 bit",
                                                                "8 bit",
                                                                "8 bit signed",
                                                                "16 bit intel",
                                                                "16 bit motorola",
                                                                "16 bit signed intel",
                                                                "16 bit signed mot."};
inline constexpr std::array<std::string_view, 64> kStartBitItems{
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "13", "14", "15",
    "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "30", "31",
    "32", "33", "34", "35", "36", "37", "38", "39", "40", "41", "42", "43", "44", "45", "46", "47",
    "48", "49", "50", "51", "52", "53", "54", "55", "56", "57", "58", "59", "60", "61", "62", "63"};
// Index 0 is "Off" (wire code 64); index i >= 1 is mode i - 1.
inline constexpr std::array<std::string_view, 65> kModeNrItems{
    "Off", "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "13", "14", "15",
    "16",  "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "30", "31", "32",
    "33",  "34", "35", "36", "37", "38", "39", "40", "41", "42", "43", "44", "45", "46", "47", "48", "49",
    "50",  "51", "52", "53", "54", "55", "56", "57", "58", "59", "60", "61", "62", "63"};
inline constexpr std::array<std::string_view, 4> kDigitsItems{"0", "0,0", "0,00", "0,000"};
// Wire code: index for 0..4, index + 95 for 5..11.
inline constexpr std::array<std::string_view, 12> kChannelNameItems{
    "Noname",           "Engine speed",       "ALS TPS",
    "Launch TPS",       "Watertemp",          "ALSActivation",
    "LaunchActivation", "AircoActivation",    "HighIdleActivation",
    "BlipActivation",   "TpsLimitActivation", "Curve2Activation"};
inline constexpr std::array<std::string_view, 4> kUnitItems{"Blanc", "RPM", "\u00B0C", "%"};

// Captions of the 32 error set-up check boxes, bit n of the two error set-up words.
inline constexpr std::array<std::string_view, 32> kErrorSetupCaptions{
    "0: Differentiation between ",
    "1: Potentiometer 1 voltage 0.25V below calibration value",
    "2: Potentiometer 2 voltage 0.25V below calibration value",
    "3: Potentiometer 1 voltage 0.25V above calibration value",
    "4: Potentiometer 2 voltage 0.25V above calibration value",
    "5: user defined current reached",
    "6: not used",
    "7: Error activation after 1  or 5  sequencing  ",
    "8: 1A (user defined Safety current) ",
    "9: 2A (user defined Safety current) ",
    "10: 4A (user defined Safety current) ",
    "11: 8A (user defined Safety current) ",
    "12: not used",
    "13: not used",
    "14: not used",
    "15: not used",
    "16: Error reset after download (0) or power down (1)",
    "17: Error break Time ,1 (0) or 5 sec (1) ",
    "18: Maximum Intergrator time protection",
    "19: 5V short circuit protection",
    "20: Hardware current protection",
    "21: Target not reached in 1.5 sec protection",
    "22: not used",
    "23: not used ",
    "24: not used",
    "25: not used",
    "26: not used",
    "27: not used",
    "28: not used",
    "29: not used",
    "30: not used",
    "31: not used"};

}  // namespace etc::settings
