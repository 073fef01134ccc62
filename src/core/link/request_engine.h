// The request engine: the only code that writes to or reads from the serial port.
//
// Exactly one request is in flight. Every sender sets the expected reply letter, empties the receive
// buffer, writes the frame and starts the reply timer. Input is gathered until the reply that the
// expected letter calls for is complete, then checked and handed on through the hooks. A wrong or late
// reply is counted and the request sent again; the sixth failure in a row takes the tool offline.
//
// Timers (the main window's own names):
//   Timer1  poll timer      120 ms  each tick sends the live-data poll
//   Timer2  reply timer     540 ms  each tick runs the time-out handler
//   Timer3  sequence timer   50 ms  runs the sequence state while the continue flag is set
//   Timer4  step timer       80 ms  one-shot: runs the next-step code (60 ms during the port search)
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/codec.h"
#include "link/com_ini.h"
#include "link/prompter.h"
#include "link/serial_port.h"
#include "link/timer.h"

namespace etc::link {

namespace text {
inline constexpr const char* kPortNotAvailable = "COM port not available or USB kabel not connected !!!";
inline constexpr const char* kPortNotAvailableDownload =
    "COM port not available or USB kabel not connected !!! (OXT1)";
inline constexpr const char* kSendWhilePortClosed = "USB rrrrr Communicatie Error";
inline constexpr const char* kWriteFailed = "USB Communicatie Error";
inline constexpr const char* kReadFailed = "Comm Error test";
inline constexpr const char* kErrorsLabelPrefix = "Errors: ";
inline constexpr const char* kErrorsLabelInitial = "Errors:";
}  // namespace text

inline constexpr int kSlowBaud = 9600;
inline constexpr int kFastBaud = 115200;
inline constexpr int kMaxFailures = 6;

// Next-step codes run by the step timer.
namespace step {
inline constexpr int kConnect = 0;          // 9600 baud, version query
inline constexpr int kChartCellWriteC = 1;  // "C" cell write of the chart editor
inline constexpr int kEditRun = 2;          // edit-menu run over the selected main-window cells
inline constexpr int kPoll = 3;             // live-data poll
inline constexpr int kPedalEditRun = 5;     // edit-menu run over the pedal correction table
inline constexpr int kTimeout = 6;          // time-out handler (every failure)
inline constexpr int kLock = 7;             // lock command
inline constexpr int kChartCellWrite = 17;  // "B" cell write of the chart editor
inline constexpr int kCalibration = 18;     // calibration command
inline constexpr int kPortProbe = 19;       // next port-search probe
}  // namespace step

// Sequence states of the sequence timer. The negative ones are the speed switches of the engine;
// the others belong to the download sequences.
namespace sequence {
inline constexpr int kIdle = 0;
inline constexpr int kConnectSpeedSwitch = -20;
inline constexpr int kDownloadSpeedSwitch = -10;
inline constexpr int kFirstDownloadState = 30;
}  // namespace sequence

inline constexpr Duration kPollInterval = std::chrono::milliseconds(120);
inline constexpr Duration kReplyInterval = std::chrono::milliseconds(540);
inline constexpr Duration kSequenceInterval = std::chrono::milliseconds(50);
inline constexpr Duration kStepInterval = std::chrono::milliseconds(80);
inline constexpr Duration kSearchStepInterval = std::chrono::milliseconds(60);

// Where the rest of the tool attaches to the engine. Every hook is optional; a hook that is not set
// means that part of the tool is not present in this program.
struct EngineHooks {
    // A valid 66-byte live frame.
    std::function<void(ByteView frame)> liveFrame;
    // Version text of the connect handshake and of a port-search probe, for the version field.
    std::function<void(const std::string& version)> versionText;
    // Version text of a download start; returns whether the download goes on.
    std::function<bool(const std::string& version)> downloadVersion;
    // The download was stopped by the version check (after polling was stopped).
    std::function<void()> downloadRefused;
    // A port-search probe got its answer; the search has found its port.
    std::function<void(const std::string& version)> probeAnswered;
    // Run the next port-search probe (step code 19 and the resend of a probe).
    std::function<void()> portProbe;
    // The sixth failure came while a probe was in flight: the port opened but never answered.
    std::function<void()> probeGaveUp;
    std::function<void(const std::string& serial)> serialNumber;
    std::function<void(int master, int user)> accessLevels;
    // "OK" (true) or "NO" (false) to an "A", "P" or "p" request.
    std::function<void(char letter, bool ok)> answer;
    std::function<void(std::uint8_t status)> calibrationStatus;
    // A complete block-read reply, letter and checksum included.
    std::function<void(ByteView reply)> blockRead;
    // Bytes of a block-read reply as they arrive (the progress gauge).
    std::function<void(std::size_t bytes)> blockProgress;
    // The module acknowledged the lock.
    std::function<void()> lockDone;
    // The module acknowledged the closing request of a download.
    std::function<void()> downloadDone;
    // The chart editor's change-pending flag is cleared.
    std::function<void()> chartChangeCleared;
    // Sequence states that are not the engine's own (the download states).
    std::function<void(int state)> sequenceState;
    // Step codes 2 and 5: the edit-menu runs.
    std::function<void(int code)> editRun;
    // The sixth failure took the tool offline (after the engine's own reset).
    std::function<void()> gaveUp;
    // Values the senders read afresh on every send and resend.
    std::function<std::pair<int, int>()> chosenLevels;  // master, user for "A"
    std::function<std::string()> paddedPassword;        // the ten password bytes for "P" and "p"
    std::function<int()> calibrationStep;               // for "q"
    // Display state that the engine changes.
    std::function<void(bool online)> onlineChanged;
    std::function<void(bool marked)> dataNotLockedChanged;
    std::function<void(const std::string& text)> errorLabelChanged;
};

class RequestEngine {
  public:
    RequestEngine(SerialPort& port, TimerService& timers, Prompter& prompter);
    ~RequestEngine();
    RequestEngine(const RequestEngine&) = delete;
    RequestEngine& operator=(const RequestEngine&) = delete;

    EngineHooks& hooks() { return m_hooks; }

    // --- Operations ---
    void stopPolling();
    void schedule(int code);
    void failurePath();
    void goOnline();
    void goOffline();
    void setDataNotLocked(bool marked);
    void setPortName(const std::string& name) { m_portName = name; }
    // Commands that start a conversation afresh (upload, download) begin with a clean count.
    void resetErrorCounter() { m_errorCount = 0; }
    void setBaudRate(int baud) { m_port.setBaudRate(baud); }
    void clearReceiveBlock() { m_receiveBlocked = false; }
    // Forgets whatever was received since the last send.
    void clearReceiveBuffer() {
        m_received = 0;
        m_buffer.clear();
    }
    void setContinue(bool on) { m_continue = on; }
    void setSequenceState(int state) { m_sequenceState = state; }
    void setRequestPayload(Bytes payload) { m_payload = std::move(payload); }

    // --- Senders ---
    void sendVersionAtConnect();
    void sendVersionBeforeDownload();
    // The probe of the port search: the caller has opened the port.
    void sendProbe();
    void sendSerialNumber();
    void sendAccessLevelQuery();
    void sendSetAccessLevel();
    void sendPassword(char letter);  // 'P' or 'p'
    void sendCalibration();
    void sendCellWrite();        // "B", expects "B"
    void sendChartCellWrite();   // "B", expects "b"
    void sendChartCellWriteC();  // "C", expects "c"
    void sendBlockWrite();       // "E"
    void sendBlockRead(int address, int words);
    void sendLock();
    void sendClosing();
    void sendLivePoll();

    // --- Handlers (public so a test can drive them directly) ---
    void onInput();
    void onTimeout();
    void onStepTimer();
    void onSequenceTimer();

    // --- State ---
    [[nodiscard]] bool online() const { return m_online; }
    [[nodiscard]] bool dataNotLocked() const { return m_dataNotLocked; }
    [[nodiscard]] char expected() const { return m_expected; }
    [[nodiscard]] int errorCount() const { return m_errorCount; }
    [[nodiscard]] const std::string& errorLabel() const { return m_errorLabel; }
    [[nodiscard]] bool receiveBlocked() const { return m_receiveBlocked; }
    [[nodiscard]] int nextStep() const { return m_nextStep; }
    [[nodiscard]] int sequenceState() const { return m_sequenceState; }
    [[nodiscard]] bool continueFlag() const { return m_continue; }
    [[nodiscard]] const Bytes& requestPayload() const { return m_payload; }
    [[nodiscard]] const Bytes& receiveBuffer() const { return m_buffer; }
    [[nodiscard]] std::size_t receivedCount() const { return m_received; }
    [[nodiscard]] const std::string& portName() const { return m_portName; }
    [[nodiscard]] SerialPort& port() { return m_port; }
    [[nodiscard]] Timer& pollTimer() { return *m_timer1; }
    [[nodiscard]] Timer& replyTimer() { return *m_timer2; }
    [[nodiscard]] Timer& sequenceTimer() { return *m_timer3; }
    [[nodiscard]] Timer& stepTimer() { return *m_timer4; }

  private:
    enum class OpenFailure { Connect, Download, Plain };

    // Opens the port with the stored name if it is closed; on failure reacts as the sender requires.
    bool ensureOpen(OpenFailure onFailure);
    bool onlineAndOpen() const { return m_online && m_port.isOpen(); }
    // The send primitive.
    void send(char expected, const Bytes& frame);
    // The cell and block writes: only while online with the port open; every write marks the data
    // as not locked.
    void sendWrite(char expected, const Bytes& frame, bool fromChartEditor);
    // Writes "G" straight to the port, outside the send primitive: no reply timer, letter unchanged.
    bool writeHighSpeedSwitch();
    void writeFailed();
    void refreshErrorLabel();
    void showError(const std::string& text, ButtonSet buttons = ButtonSet::Ok);
    void resetReceive();
    void handleReply();
    // Checks the whole buffer once it is complete; turns the reply timer off first. False: failure path.
    bool checksumPasses();
    void handleAcknowledgement();

    SerialPort& m_port;
    Prompter& m_prompter;
    std::unique_ptr<Timer> m_timer1;
    std::unique_ptr<Timer> m_timer2;
    std::unique_ptr<Timer> m_timer3;
    std::unique_ptr<Timer> m_timer4;
    EngineHooks m_hooks;

    std::string m_portName{kDefaultPortName};
    bool m_online = true;  // the main window starts in the online state
    bool m_dataNotLocked = false;
    char m_expected = 0;
    Bytes m_buffer;
    Bytes m_reply;  // the completed reply handed to a hook; swapped with the buffer, so no copy
    std::size_t m_received = 0;
    int m_errorCount = 0;
    std::string m_errorLabel = text::kErrorsLabelInitial;
    bool m_receiveBlocked = false;
    int m_nextStep = step::kConnect;
    int m_sequenceState = sequence::kIdle;
    bool m_continue = false;
    Bytes m_payload;
    int m_readAddress = 0;
    int m_readWords = 0;
};

// True for the first bytes a reply may start with; anything else is dropped at once.
[[nodiscard]] bool isKnownReplyLetter(std::uint8_t b);

}  // namespace etc::link
