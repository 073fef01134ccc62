// The download: writing the settings image into the module (PC -> System).
//
// Every block goes out as one or more "E" block writes cut from SettingsImage::encode, each frame built
// from the current values when its turn comes. The sequence timer of the request engine paces the
// steps: a step sends one frame per tick, and the next tick acts only after the module's "Y". When a
// step has sent all its frames it hands over to the step that follows, and the last step sends the
// closing request "R"; the module's "R" ends the sequence.
//
// Full download (start): "V" at 9600 baud, the version check of the module's reply, "G", 115200 baud,
// then the steps 30 .. 200 below. The shorter sequences enter the same table at a later step, or run
// the steps 204 .. 207 (setpoint table, ETC block, max_PWM, then "R").
//
// While the block map is not set (no supported version seen yet) no operation starts: it returns at
// once, shows nothing and writes nothing. start() runs the version check of the held version text
// first, which may set the map (or show why it cannot).
//
// If the link goes offline while a sequence is under way (six failed replies, a failed write, or the
// user), the blocks written so far stay in the module. The sequence is abandoned: its state goes to 0,
// so that a later acknowledgement cannot wake it up, and the user is told with kDownloadIncomplete.
#pragma once

#include <functional>
#include <span>

#include "app/main_window_state.h"
#include "link/codec.h"
#include "link/prompter.h"
#include "link/request_engine.h"
#include "settings/block_map.h"
#include "settings/settings_image.h"
#include "settings/version_rules.h"

namespace etc::settings {

namespace text {
inline constexpr const char* kDownloadIncomplete =
    "The download did not complete.\r\nThe module may now hold a mix of old and new settings.\r\n"
    "Download again, or upload to see what the module holds.";
}  // namespace text

// Sequence states of the download sequences (the engine's own −20 and −10 are its speed switches).
namespace step {
inline constexpr int kCurve1 = 30;
inline constexpr int kCurve2 = 40;
inline constexpr int kResponseGroup = 50;
inline constexpr int kThrottleLimit = 60;
inline constexpr int kEtc = 70;
inline constexpr int kSetpoints = 80;
inline constexpr int kHardware = 90;
inline constexpr int kRpm = 100;
inline constexpr int kAls = 110;
inline constexpr int kLaunch = 120;
inline constexpr int kThrottleSettings = 130;
inline constexpr int kCanSettings = 140;
inline constexpr int kCanMessages = 150;
inline constexpr int kCanChannels = 160;
inline constexpr int kPwm = 170;
inline constexpr int kIdleTable = 171;
inline constexpr int kIdleStart = 172;
inline constexpr int kGap = 190;  // no frame: the gauge steps over the words that are never written
inline constexpr int kCalibration = 191;
inline constexpr int kClosing = 200;
// The ETC group: setpoint table, ETC block, max_PWM, then the closing request.
inline constexpr int kEtcGroupSetpoints = 204;
inline constexpr int kEtcGroupEtc = 205;  // also the entry of the calibration result
inline constexpr int kEtcGroupPwm = 206;
inline constexpr int kEtcGroupDone = 207;
// One response-group frame, or one beginwaarde frame, then the closing request. (400 .. 402 belong to
// the edit runs of the table editor, which use the step senders below.)
inline constexpr int kResponseGroupThenClose = 208;
inline constexpr int kIdleStartThenClose = 209;
}  // namespace step

// Words 579 .. 895 are never written; a full download still counts them on the gauge.
inline constexpr int kGapGaugeStep = 317;

// The Options groups with a "Send" button.
enum class Group { Etc, Hardware, RpmPickup, Als, Launch, Throttle, Can };

// The frame sizes (data bytes) a block is cut into, in order; the sum is the block's byte count.
[[nodiscard]] std::span<const int> frameSizes(Block block);

class Download {
  public:
    // Attaches to the engine's hooks sequenceState, downloadVersion, downloadRefused, downloadDone,
    // gaveUp and onlineChanged; a hook already set is kept and called as well (the download's own
    // sequence states are not passed on). The destructor puts the previous hooks back, so a Download
    // must not outlive the engine, and hooks chained after it must go before it does.
    // The owner wires the VersionRules callbacks (fillBlockMap, refuse, enableMainButtons); the
    // download relies on them to set the block map and to stop a refused or cancelled start.
    Download(link::RequestEngine& engine, SettingsImage& image, VersionRules& versionRules,
             app::MainWindowState& window, link::Prompter& prompter);
    ~Download();
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    // --- Operations (each returns at once; the work goes on on timer ticks and replies) ---
    // Full download: preparation at 9600 baud, then steps 30 .. 200.
    void start();
    // A group's "Send". ETC: only while online (offline it enables the main buttons and takes the RPM
    // axis into the Throttle_limit headers); it starts at step 204 on the next tick. The others send
    // their first frame at once and run on to the end of the full sequence; CAN sets the CAN changed
    // flag first.
    void sendGroup(Group group);
    // The Options menu's "Ok" while online: steps 60 .. 200.
    void sendFromStep60();
    // A response type was chosen: the response-group frame at once, then steps 60 .. 200.
    void writeResponseGroup();
    // An acc limiter was set: the response-group frame at once, then the closing request.
    void writeResponseGroupAndClose();
    // The idle axis start was set: the beginwaarde frame at once, then the closing request. Does
    // nothing for a held version without the idle blocks (below 1EA1AB).
    void writeIdleStartAndClose();
    // The calibration's TPS1 maximum: steps 205, 206, 207, then the closing request.
    void writeCalibrationResult();
    // A predefined setting was chosen: ETC frame 1 alone. The sequence state is left as it is, so with
    // no sequence running nothing follows the acknowledgement.
    void writeFirstEtcFrame();

    // --- Step senders, for the edit runs of the table editor ---
    // Send the next frame of the block for the current sequence state, or, when all are out, hand over
    // to `following` on the next tick.
    void sendResponseGroupStep(int following);
    void sendIdleStartStep(int following);

    // --- Callbacks ---
    // A sequence ended with the module's "R", after the window state was updated and the RPM axis
    // taken into the Throttle_limit headers (the screens refresh the digital-input labels).
    std::function<void()> ended;
    // The response-group, max_PWM or idle-start step completed: the Edit menu panel is hidden.
    std::function<void()> hideEditMenu;
    // A sequence was abandoned because the link went offline, after the user was told.
    std::function<void()> abandoned;
    // A step began (its first frame, or a step without frames).
    std::function<void(int state)> stepStarted;

    // --- State ---
    // Preparing (version query, speed switch) or a download sequence state is current.
    [[nodiscard]] bool running() const;
    // The last sequence was abandoned; cleared by the next operation.
    [[nodiscard]] bool incomplete() const { return m_incomplete; }
    [[nodiscard]] int sequenceState() const { return m_engine.sequenceState(); }
    // The next frame of the current step, from 1.
    [[nodiscard]] int frameIndex() const { return m_frameIndex; }

  private:
    // Runs the sender of a download state; false for states that are not the download's.
    bool runState(int state);
    void blockStep(int state, Block block, int following);
    void noFrameStep(int state, int following);
    void sendFrame(Block block, int index);
    void completeStep(int following);
    void beginShortSequence(int state);

    bool onDownloadVersion(const std::string& moduleText);
    void onDownloadRefused();
    void onDownloadDone();
    void onLinkLost();
    void hideProgress();
    [[nodiscard]] static bool ownsState(int state);

    link::RequestEngine& m_engine;
    SettingsImage& m_image;
    VersionRules& m_versionRules;
    app::MainWindowState& m_window;
    link::Prompter& m_prompter;
    link::EngineHooks m_previous;

    int m_frameIndex = 1;
    bool m_preparing = false;
    bool m_incomplete = false;
};

}  // namespace etc::settings
