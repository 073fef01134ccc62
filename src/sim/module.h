// The simulated ETC module: what the tool talks to in tests, in the real-time in-process mode and,
// behind a pseudo-terminal, in etcsim.
//
// Line speed. The module starts listening at 9600 baud. "G" at 9600 switches it to 115200 (no answer).
// "V" is answered only when it arrives at 9600, also after a "G", and puts the module back to 9600, so
// every connection and every download starts with "V" at 9600 and then "G". Every other request is
// heard only at 115200 after a "G". Bytes at a speed the module is not listening on are garbage: the
// frame is logged as not accepted and gets no answer.
//
// Framing. The first byte decides the frame length; a byte that starts no request is dropped; a partial
// frame is dropped when no byte follows within kInterByteGap. Requests with a bad checksum, and "a" or
// "q" requests whose fixed bytes are not "ABCD" / "ABC", get no answer.
//
// Timing. A request's bytes occupy the line for their wire time at the speed they were sent; its
// answer's first byte leaves after the last request byte plus the latency (plus a Delay fault) and
// never before the previous answer has left; each piece of the answer reaches the tool at the wire time
// of its last byte. An answer on its way is never cancelled.
//
// Answers (frames of the link codec):
//   "V" -> "V" version Sum8          "S" -> "S" serial Sum8          "*" -> 66-byte live frame
//   "a" -> "a" master user Sum8      "L" -> "L" (marks the settings as kept)            "R" -> "R"
//   "Z" addr n -> "Z" 2n bytes (words high byte first) Sum8; addr < 0, n < 0 or addr + n > 1024: no answer
//   "E" N addr data -> stores byte i at word addr + i/2 (even i: high byte), "Y"; outside memory: "N"
//   "B"/"C" addr value cell -> stores value in word addr, odd cell number: high byte, even (0 included):
//       low byte (cells 1 and 2 of a table share a word, the first cell high), "Y"; outside memory: "N"
//   "p" password check: "OK" for the master password (which also resets the user password to
//       resetUserPassword) or the user password, else "NO".
//   "P" new user password: "OK" and stored once a "p" was accepted since the last "V", else "NO".
//   "A" master user: "OK" (user level set) when a "p" was accepted since the last "V", the master byte
//       equals the module's master level and 1 <= user <= min(master level, 4); else "NO".
//   "q" step -> "q" code Sum8, the calibration exchange:
//       step 0 (pedal): code 10; then step 10: code 11; step 11: code 12; step 12: code 13 and the run.
//       step 1 or 2 (throttle valve, single or dual spring): code 13 and the run.
//       step 13 during or after a run: code 13 (nothing changes).
//       A start step while the engine speed is not 0: code 20 (not possible).
//       Any other step, or a step out of order: code kCalibrationSequenceError.
//       A repeated step (a resend after a lost answer) gets the same code without starting over.
//       The run: calibration status 1 from the accepted step on, for calibrationTime; then the status
//       becomes calibrationResult (0 = finished). On success the module writes the ranges it measured
//       into the ETC settings (pedal: Min/Max_Value_Ped1/2; throttle valve: Min/Max_value_TPS1/2 and the
//       TPS 1 range limits w30/w31 of the calibration block).
// Passwords are kept and compared in their wire form: ten bytes, the text left-aligned and padded with
// '0' (so "1234" and "123400" are the same password, as on the wire).
//
// Faults count the accepted requests per letter from 1 since the module started:
//   drop: the request is lost (no effect, no answer). corrupt: carried out, the answer's checksum is off
//   by one ("Y", "N", "L", "R" become that byte with its top bit flipped). nak: "E", "B", "C" answer "N"
//   and store nothing, "L" and "R" answer "N", "A", "P", "p" answer "NO" (no effect); for the other
//   letters it acts as drop. delay: the answer leaves `delay` later. unplug: the request is lost, answers
//   still on the wire are lost, the module hears nothing more and calls the unplug handler.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/codec.h"
#include "link/timer.h"
#include "sim/fault.h"
#include "sim/request_framer.h"

namespace etc::sim {

inline constexpr int kLowSpeed = 9600;
inline constexpr int kHighSpeed = 115200;
inline constexpr std::size_t kMemoryWords = 1024;
inline constexpr std::size_t kImageBytes = 2 * kMemoryWords;
// Quiet time after which a partial request is dropped; well above a byte time at 9600 (1.04 ms) and
// well below the tool's shortest resend interval (80 ms).
inline constexpr link::Duration kInterByteGap = std::chrono::milliseconds(20);
inline constexpr std::uint8_t kCalibrationRefused = 20;
inline constexpr std::uint8_t kCalibrationSequenceError = 17;

using Memory = std::array<std::uint16_t, kMemoryWords>;

struct ModuleConfig {
    std::string version = "1EA1AB1AA";
    std::string serial = "123456";
    int masterLevel = 4;
    int userLevel = 4;
    Memory memory{};           // the 1024 settings words
    link::Duration latency{};  // added to every answer
    std::vector<Fault> faults;
    std::size_t chunkBytes = 0;  // 0: an answer reaches the tool in one piece at its end
    // Defaults: user "1234"; master "MASTER"; an accepted master password sets the user password to
    // "JQW" (the text the tool shows after a master password). Longer than ten characters: cut to ten.
    std::string userPassword = "1234";
    std::string masterPassword = "MASTER";
    std::string resetUserPassword = "JQW";
    link::Duration calibrationTime = std::chrono::seconds(2);  // how long a calibration run reports status 1
    std::uint16_t calibrationResult = 0;  // status after a run: 0 finished, else an error
    bool animate = true;  // live values move with time; false: the frame carries LiveValues as set
    bool keepLog = true;  // keep every request in requests(); a long-running etcsim turns it off
};

// Every complete frame the module cut from the line, heard or not.
struct RequestRecord {
    link::Duration at;  // when its last byte had arrived
    int baud;
    std::vector<std::uint8_t> bytes;
    bool accepted = false;  // heard at the right speed with a good checksum, so counted for faults
};

// The live frame's contents in wire units (see the live frame layout) except the temperatures, kept in
// degrees Celsius. With animation on, the frame shows positions, sensor voltages, motor current, PWM,
// battery and ETC temperature moving around these values (engine speed only when it is not 0).
struct LiveValues {
    std::uint16_t engineSpeed = 0;  // 10 rpm; 0: engine off, as a calibration needs
    std::uint16_t pedal1 = 0;       // 0.5 %
    std::uint16_t pedal1mV = 500;
    std::uint16_t pedal2mV = 250;
    std::uint16_t throttle1 = 0;  // 0.5 %
    std::uint16_t throttle1mV = 600;
    std::uint16_t battery = 22;  // 0.25 V above 8 V: 13.5 V
    std::uint16_t throttle2mV = 300;
    std::int16_t throttleCorrection = 0;
    std::uint16_t motorCurrent = 5;  // 0.1 A
    std::int16_t pidCorrection = 0;
    std::int16_t pwm = 0;
    std::uint16_t loadInput = 0;  // 0.5 units
    std::uint16_t responseCurve = 1;
    int waterTemp = 25;              // degrees C; the frame carries +20
    int etcTemp = 30;                // degrees C; the frame carries +20
    std::uint16_t varLaunch = 0;     // 0.5 %
    std::uint16_t pedal1Mark = 200;  // end of the pedal 1 gauge's green range, 0.5 %
    std::uint16_t pedal2 = 0;        // 0.5 %
    std::uint16_t pedal2Mark = 200;
    std::uint16_t throttle2 = 0;  // 0.5 %
    std::uint16_t status = 0;     // bit 0..10 inputs and functions, bit 11 power was interrupted
    std::uint16_t varAls = 0;     // 0.5 %
    std::array<std::uint16_t, 3> errors{};
};

// Reads a settings image: exactly 2048 bytes, the 1024 words high byte first. On failure `memory` is
// untouched and `error` says why.
[[nodiscard]] bool loadImage(const std::string& path, Memory& memory, std::string& error);

class Module {
  public:
    using Output = std::function<void(std::span<const std::uint8_t>)>;
    using LineOutput = std::function<void(std::span<const std::uint8_t>, int baud)>;

    Module(link::TimerService& timers, ModuleConfig config);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Bytes from the tool, sent at the given line speed, starting at timers.now() (or when the line
    // from the tool is free again).
    void receive(std::span<const std::uint8_t> bytes, int baud);
    // Where the answer bytes go, each piece at its wire time, always from a timer tick. One output at a
    // time: SimulatedPort and PtyHost take it (and the unplug handler) for themselves.
    void setOutput(Output out);
    // The same, with the line speed the piece was sent at (a port set to another speed sees garbage).
    void setLineOutput(LineOutput out);
    // Called once when an unplug fault strikes.
    void setUnplugHandler(std::function<void()> handler);
    // Called with every complete frame, also when the log is off.
    void setRequestObserver(std::function<void(const RequestRecord&)> observer);

    [[nodiscard]] Memory& memory() { return m_memory; }
    [[nodiscard]] const Memory& memory() const { return m_memory; }
    [[nodiscard]] LiveValues& live() { return m_live; }
    [[nodiscard]] const LiveValues& live() const { return m_live; }
    void setAnimate(bool on) { m_config.animate = on; }
    // The frame a "*" would be answered with now.
    [[nodiscard]] link::Bytes liveFrame() const;

    [[nodiscard]] std::uint16_t calibrationStatus() const { return m_calibration.status; }
    // Overrides the status until the next calibration start.
    void setCalibrationStatus(std::uint16_t status) { m_calibration.status = status; }
    void setCalibrationResult(std::uint16_t result) { m_config.calibrationResult = result; }

    [[nodiscard]] bool highSpeed() const { return m_highSpeed; }
    [[nodiscard]] bool unplugged() const { return m_unplugged; }
    // Cable back in: the module hears requests again. Its line speed and state are as they were (the
    // module kept its power); the tool starts over with "V" at 9600 anyway.
    void replug();

    [[nodiscard]] int masterLevel() const { return m_masterLevel; }
    [[nodiscard]] int userLevel() const { return m_userLevel; }
    void setLevels(int master, int user);
    [[nodiscard]] const std::string& userPassword() const { return m_userPassword; }  // wire form
    [[nodiscard]] const std::string& masterPassword() const { return m_masterPassword; }
    // False after any stored write until an "L".
    [[nodiscard]] bool settingsKept() const { return m_settingsKept; }

    [[nodiscard]] const std::vector<RequestRecord>& requests() const { return m_log; }
    void clearRequests() { m_log.clear(); }
    // Accepted requests with this first byte since the start.
    [[nodiscard]] int requestCount(char letter) const;

    void addFault(const Fault& fault) { m_config.faults.push_back(fault); }
    void clearFaults() { m_config.faults.clear(); }
    void setLatency(link::Duration latency) { m_config.latency = latency; }
    void setChunkBytes(std::size_t bytes) { m_config.chunkBytes = bytes; }
    [[nodiscard]] const ModuleConfig& config() const { return m_config; }

    // Password in wire form: left-aligned in ten '0' characters, cut to ten.
    [[nodiscard]] static std::string wirePassword(const std::string& text);

  private:
    enum class Access { None, User, Master };
    struct Piece {
        link::Duration due;
        int baud;
        link::Bytes bytes;
    };
    struct Calibration {
        int lastStep = -1;  // last step that moved the sequence on, for answering resends alike
        std::uint8_t lastCode = 0;
        int expected = -1;  // next pedal step the sequence accepts
        bool throttle = false;
        bool running = false;
        bool finished = false;
        std::uint16_t status = 0;
        std::optional<std::uint16_t> pedalHold;  // where the simulated driver holds the pedal
    };

    void handleFrame(const ReceivedFrame& frame);
    [[nodiscard]] bool hears(const ReceivedFrame& frame) const;
    [[nodiscard]] static bool wellFormed(const link::Bytes& frame);
    [[nodiscard]] std::optional<link::Bytes> execute(const link::Bytes& frame, bool nak);
    [[nodiscard]] link::Bytes answerAccess(const link::Bytes& frame);
    [[nodiscard]] std::optional<link::Bytes> blockRead(const link::Bytes& frame) const;
    [[nodiscard]] bool blockWrite(const link::Bytes& frame);
    [[nodiscard]] bool cellWrite(const link::Bytes& frame);
    [[nodiscard]] std::uint8_t calibrate(int step);
    void startCalibrationRun(bool throttle);
    void finishCalibrationRun();
    void send(link::Bytes reply, link::Duration readyAt, int baud);
    void armOutput();
    void deliverDue();

    link::TimerService& m_timers;
    ModuleConfig m_config;
    Memory m_memory;
    LiveValues m_live;
    link::Duration m_origin;
    RequestFramer m_framer{kInterByteGap};
    link::Duration m_lineInFreeAt{};
    link::Duration m_lineOutFreeAt{};
    std::deque<Piece> m_pending;
    std::unique_ptr<link::Timer> m_outputTimer;
    std::unique_ptr<link::Timer> m_calibrationTimer;
    bool m_delivering = false;
    LineOutput m_output;
    std::function<void()> m_onUnplug;
    std::function<void(const RequestRecord&)> m_observer;

    bool m_highSpeed = false;
    bool m_unplugged = false;
    bool m_settingsKept = true;
    int m_masterLevel;
    int m_userLevel;
    std::string m_userPassword;
    std::string m_masterPassword;
    std::string m_resetPassword;
    Access m_access = Access::None;
    Calibration m_calibration;
    std::map<std::uint8_t, int> m_counts;
    std::vector<RequestRecord> m_log;
};

}  // namespace etc::sim
