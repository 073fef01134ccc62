#include "settings/download.h"

#include <algorithm>
#include <array>

namespace etc::settings {

namespace {

// Data bytes per frame. Most blocks fit one frame; the long ones are cut at record boundaries (three
// CAN messages, two CAN channels a frame) so that no frame carries more than 36 data bytes.
constexpr std::array<int, 1> kOneFrame22{22};
constexpr std::array<int, 1> kOneFrame4{4};
constexpr std::array<int, 1> kOneFrame6{6};
constexpr std::array<int, 1> kOneFrame44{44};
constexpr std::array<int, 1> kOneFrame36{36};
constexpr std::array<int, 1> kOneFrame2{2};
// Control loop (P_versterking .. ResetDiff), PulsSampleTime .. AutoCalTPS, Min_Value_Ped1 .. error set-up.
constexpr std::array<int, 3> kEtcFrames{22, 36, 20};
// Cells 1..240 sixteen at a time, then cells 241..255.
constexpr std::array<int, 16> kSetpointFrames{32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 30};
constexpr std::array<int, 4> kCanMessageFrames{30, 30, 30, 30};
// Channels 17 and 18 travel with the block's last word (the CAN changed mark).
constexpr std::array<int, 9> kCanChannelFrames{28, 28, 28, 28, 28, 28, 28, 28, 30};
constexpr std::array<int, 8> kCalibrationFrames{32, 32, 32, 32, 32, 32, 32, 32};

constexpr int kFirstEtcFrame = 1;

}  // namespace

std::span<const int> frameSizes(Block block) {
    switch (block) {
        case Block::Curve1:
        case Block::Curve2:
        case Block::ThrottleLimit:
        case Block::IdleTable:
            return kOneFrame22;
        case Block::CurveOptions:
        case Block::Als:
        case Block::Launch:
            return kOneFrame4;
        case Block::Etc:
            return kEtcFrames;
        case Block::PedalCorrection:
            return kSetpointFrames;
        case Block::Hardware:
        case Block::CanSettings:
            return kOneFrame6;
        case Block::Rpm:
            return kOneFrame44;
        case Block::ThrottleSettings:
            return kOneFrame36;
        case Block::CanMessages:
            return kCanMessageFrames;
        case Block::CanChannels:
            return kCanChannelFrames;
        case Block::Pwm:
        case Block::IdleStart:
            return kOneFrame2;
        case Block::Calibration:
            return kCalibrationFrames;
    }
    return {};
}

Download::Download(link::RequestEngine& engine, SettingsImage& image, VersionRules& versionRules,
                   app::MainWindowState& window, link::Prompter& prompter)
    : m_engine(engine), m_image(image), m_versionRules(versionRules), m_window(window), m_prompter(prompter) {
    auto& hooks = m_engine.hooks();
    m_previous = hooks;
    hooks.sequenceState = [this](int state) {
        if (!runState(state) && m_previous.sequenceState)
            m_previous.sequenceState(state);
    };
    hooks.downloadVersion = [this](const std::string& moduleText) {
        if (m_previous.downloadVersion && !m_previous.downloadVersion(moduleText))
            return false;
        return onDownloadVersion(moduleText);
    };
    hooks.downloadRefused = [this] {
        if (m_previous.downloadRefused)
            m_previous.downloadRefused();
        onDownloadRefused();
    };
    hooks.downloadDone = [this] {
        if (m_previous.downloadDone)
            m_previous.downloadDone();
        onDownloadDone();
    };
    hooks.gaveUp = [this] {
        if (m_previous.gaveUp)
            m_previous.gaveUp();
        onLinkLost();
    };
    hooks.onlineChanged = [this](bool online) {
        if (m_previous.onlineChanged)
            m_previous.onlineChanged(online);
        if (!online)
            onLinkLost();
    };
}

Download::~Download() {
    auto& hooks = m_engine.hooks();
    hooks.sequenceState = m_previous.sequenceState;
    hooks.downloadVersion = m_previous.downloadVersion;
    hooks.downloadRefused = m_previous.downloadRefused;
    hooks.downloadDone = m_previous.downloadDone;
    hooks.gaveUp = m_previous.gaveUp;
    hooks.onlineChanged = m_previous.onlineChanged;
}

// ---------------------------------------------------------------------------------------------
// Operations

void Download::start() {
    m_incomplete = false;
    m_window.dashboard.enableValueDisplay(false);
    m_engine.stopPolling();
    m_engine.resetErrorCounter();
    m_window.dashboard.hidePowerInterruptedPanel();
    m_window.upDownMenuShown = false;
    m_window.progress.caption = app::text::kDownloading;
    m_window.notify();

    m_versionRules.versionCheck(m_versionRules.held());
    // The version check has said why when it could not set the map.
    if (!m_image.blockMap().isSet())
        return;
    if (!m_versionRules.newerQuestion(VersionRules::NewerForm::CancelIgnore))
        return;

    // Every word from the first block to the end, and the closing request.
    m_window.progress.position = 0;
    m_window.progress.maximum = (BlockMap::kTotalWords - m_image.blockMap().address(Block::Curve1)) * 2 + 2;
    m_window.progress.shown = true;
    m_window.notify();

    m_frameIndex = 1;
    m_engine.setContinue(true);
    m_engine.goOnline();
    m_engine.setBaudRate(link::kSlowBaud);
    m_engine.clearReceiveBlock();
    m_preparing = true;
    m_engine.sendVersionBeforeDownload();
    if (!m_engine.port().isOpen()) {
        // The engine has shown why the port did not open; nothing starts.
        m_preparing = false;
        hideProgress();
    }
}

void Download::sendGroup(Group group) {
    if (!m_image.blockMap().isSet())
        return;
    m_incomplete = false;
    if (group == Group::Etc) {
        if (!m_engine.online()) {
            m_window.setMainButtons(true);
            m_window.notify();
            m_image.refreshThrottleLimitAxis();
            return;
        }
        m_engine.stopPolling();
        m_window.progress.position = 0;
        m_frameIndex = 1;
        m_engine.setContinue(true);
        m_engine.clearReceiveBlock();
        m_window.optionsCancelEnabled = false;
        m_window.notify();
        m_engine.setSequenceState(step::kEtcGroupSetpoints);
        m_engine.sequenceTimer().start();
        return;
    }

    int entry = 0;
    switch (group) {
        case Group::Hardware:
            entry = step::kHardware;
            break;
        case Group::RpmPickup:
            entry = step::kRpm;
            break;
        case Group::Als:
            entry = step::kAls;
            break;
        case Group::Launch:
            entry = step::kLaunch;
            break;
        case Group::Throttle:
            entry = step::kThrottleSettings;
            break;
        case Group::Can:
            entry = step::kCanSettings;
            m_image.setCanChanged(true);
            break;
        case Group::Etc:
            return;
    }
    m_engine.stopPolling();
    m_frameIndex = 1;
    m_window.optionsCancelEnabled = false;
    m_window.notify();
    m_engine.clearReceiveBlock();
    m_engine.setSequenceState(entry);
    runState(entry);
}

void Download::sendFromStep60() {
    if (!m_image.blockMap().isSet())
        return;
    m_incomplete = false;
    m_engine.stopPolling();
    m_window.setMainButtons(false);
    m_window.tablesEnabled = false;
    m_window.progress.caption = app::text::kDownloading;
    m_window.progress.shown = true;
    m_window.progress.position = 0;
    // The gauge counts from the setpoint table to the end of the idle start block (1010); it is not
    // meant to end exactly full.
    const auto& map = m_image.blockMap();
    m_window.progress.maximum = 2 * (map.address(Block::IdleStart) + map.words(Block::IdleStart) -
                                     map.address(Block::PedalCorrection));
    m_window.notify();
    m_frameIndex = 1;
    m_engine.setContinue(true);
    m_engine.clearReceiveBlock();
    m_engine.setSequenceState(step::kThrottleLimit);
    m_engine.sequenceTimer().start();
}

void Download::writeResponseGroup() {
    beginShortSequence(step::kResponseGroup);
}

void Download::writeResponseGroupAndClose() {
    beginShortSequence(step::kResponseGroupThenClose);
}

void Download::writeIdleStartAndClose() {
    // Modules below 1EA1AB have no idle start value.
    if (!hasIdleBlocks(m_versionRules.held()))
        return;
    beginShortSequence(step::kIdleStartThenClose);
}

void Download::beginShortSequence(int state) {
    if (!m_image.blockMap().isSet())
        return;
    m_incomplete = false;
    m_engine.stopPolling();
    m_frameIndex = 1;
    m_engine.clearReceiveBlock();
    m_engine.setSequenceState(state);
    runState(state);
}

void Download::writeCalibrationResult() {
    if (!m_image.blockMap().isSet())
        return;
    m_incomplete = false;
    m_engine.stopPolling();
    m_engine.setSequenceState(step::kEtcGroupEtc);
    m_window.optionsCancelEnabled = false;
    m_window.notify();
    m_frameIndex = 1;
    m_engine.setContinue(true);
    m_engine.sequenceTimer().start();
    m_engine.clearReceiveBlock();
}

void Download::writeFirstEtcFrame() {
    if (!m_image.blockMap().isSet())
        return;
    m_incomplete = false;
    m_frameIndex = 1;
    m_engine.setContinue(true);
    m_engine.clearReceiveBlock();
    m_engine.sequenceTimer().start();
    m_window.optionsCancelEnabled = false;
    m_window.notify();
    sendFrame(Block::Etc, kFirstEtcFrame);
}

void Download::sendResponseGroupStep(int following) {
    blockStep(m_engine.sequenceState(), Block::CurveOptions, following);
}

void Download::sendIdleStartStep(int following) {
    blockStep(m_engine.sequenceState(), Block::IdleStart, following);
}

// ---------------------------------------------------------------------------------------------
// Steps

bool Download::ownsState(int state) {
    static constexpr std::array kStates{step::kCurve1,
                                        step::kCurve2,
                                        step::kResponseGroup,
                                        step::kThrottleLimit,
                                        step::kEtc,
                                        step::kSetpoints,
                                        step::kHardware,
                                        step::kRpm,
                                        step::kAls,
                                        step::kLaunch,
                                        step::kThrottleSettings,
                                        step::kCanSettings,
                                        step::kCanMessages,
                                        step::kCanChannels,
                                        step::kPwm,
                                        step::kIdleTable,
                                        step::kIdleStart,
                                        step::kGap,
                                        step::kCalibration,
                                        step::kClosing,
                                        step::kEtcGroupSetpoints,
                                        step::kEtcGroupEtc,
                                        step::kEtcGroupPwm,
                                        step::kEtcGroupDone,
                                        step::kResponseGroupThenClose,
                                        step::kIdleStartThenClose};
    return std::find(kStates.begin(), kStates.end(), state) != kStates.end();
}

bool Download::running() const {
    const int state = m_engine.sequenceState();
    return m_preparing || state == link::sequence::kDownloadSpeedSwitch || ownsState(state);
}

bool Download::runState(int state) {
    if (!ownsState(state))
        return false;
    m_preparing = false;
    switch (state) {
        case step::kCurve1:
            blockStep(state, Block::Curve1, step::kCurve2);
            break;
        case step::kCurve2:
            blockStep(state, Block::Curve2, step::kResponseGroup);
            break;
        case step::kResponseGroup:
            blockStep(state, Block::CurveOptions, step::kThrottleLimit);
            break;
        case step::kThrottleLimit:
            blockStep(state, Block::ThrottleLimit, step::kEtc);
            break;
        case step::kEtc:
            blockStep(state, Block::Etc, step::kSetpoints);
            break;
        case step::kSetpoints:
            blockStep(state, Block::PedalCorrection, step::kHardware);
            break;
        case step::kHardware:
            blockStep(state, Block::Hardware, step::kRpm);
            break;
        case step::kRpm:
            blockStep(state, Block::Rpm, step::kAls);
            break;
        case step::kAls:
            blockStep(state, Block::Als, step::kLaunch);
            break;
        case step::kLaunch:
            blockStep(state, Block::Launch, step::kThrottleSettings);
            break;
        case step::kThrottleSettings:
            blockStep(state, Block::ThrottleSettings, step::kCanSettings);
            break;
        case step::kCanSettings:
            blockStep(state, Block::CanSettings, step::kCanMessages);
            break;
        case step::kCanMessages:
            blockStep(state, Block::CanMessages, step::kCanChannels);
            break;
        case step::kCanChannels:
            blockStep(state, Block::CanChannels, step::kPwm);
            break;
        case step::kPwm:
            // The settings held decide, not the module's reply: they are what is being written.
            blockStep(state, Block::Pwm,
                      hasIdleBlocks(m_versionRules.held()) ? step::kIdleTable : step::kGap);
            break;
        case step::kIdleTable:
            blockStep(state, Block::IdleTable, step::kIdleStart);
            break;
        case step::kIdleStart:
            blockStep(state, Block::IdleStart, step::kGap);
            break;
        case step::kGap:
            m_window.progress.position += kGapGaugeStep;
            m_window.notify();
            noFrameStep(state, step::kCalibration);
            break;
        case step::kCalibration:
            blockStep(state, Block::Calibration, step::kClosing);
            break;
        case step::kClosing:
            if (stepStarted)
                stepStarted(state);
            m_engine.sendClosing();
            break;
        case step::kEtcGroupSetpoints:
            blockStep(state, Block::PedalCorrection, step::kEtcGroupEtc);
            break;
        case step::kEtcGroupEtc:
            blockStep(state, Block::Etc, step::kEtcGroupPwm);
            break;
        case step::kEtcGroupPwm:
            blockStep(state, Block::Pwm, step::kEtcGroupDone);
            break;
        case step::kEtcGroupDone:
            m_engine.replyTimer().stop();
            noFrameStep(state, step::kClosing);
            break;
        case step::kResponseGroupThenClose:
            blockStep(state, Block::CurveOptions, step::kClosing);
            break;
        case step::kIdleStartThenClose:
            blockStep(state, Block::IdleStart, step::kClosing);
            break;
        default:
            return false;
    }
    return true;
}

void Download::blockStep(int state, Block block, int following) {
    if (!m_image.blockMap().isSet())
        return;
    const auto sizes = frameSizes(block);
    if (m_frameIndex > static_cast<int>(sizes.size())) {
        completeStep(following);
        if ((block == Block::CurveOptions || block == Block::Pwm || block == Block::IdleStart) &&
            hideEditMenu)
            hideEditMenu();
        if (block == Block::Calibration)
            hideProgress();
        return;
    }
    if (m_frameIndex == 1 && stepStarted)
        stepStarted(state);
    sendFrame(block, m_frameIndex);
}

void Download::noFrameStep(int state, int following) {
    if (stepStarted)
        stepStarted(state);
    completeStep(following);
}

void Download::completeStep(int following) {
    m_frameIndex = 1;
    m_engine.setSequenceState(following);
    m_engine.setContinue(true);
    m_engine.sequenceTimer().start();
}

void Download::sendFrame(Block block, int index) {
    const auto sizes = frameSizes(block);
    const link::Bytes bytes = m_image.encode(block);
    std::size_t offset = 0;
    for (int k = 1; k < index; ++k)
        offset += static_cast<std::size_t>(sizes[static_cast<std::size_t>(k - 1)]);
    const std::size_t end =
        std::min(bytes.size(), offset + static_cast<std::size_t>(sizes[static_cast<std::size_t>(index - 1)]));
    offset = std::min(offset, end);
    const link::ByteView data = link::ByteView(bytes).subspan(offset, end - offset);
    const int address = m_image.blockMap().address(block) + static_cast<int>(offset / 2);

    m_engine.setRequestPayload(link::request::blockWritePayload(address, data));
    m_window.progress.position += static_cast<int>(data.size());
    m_window.notify();
    m_frameIndex = index + 1;
    const bool wasOnline = m_engine.online();
    m_engine.sendBlockWrite();
    // A write that failed has taken the link offline and abandoned the sequence: leave the timer off.
    if (wasOnline && !m_engine.online())
        return;
    m_engine.sequenceTimer().start();
}

// ---------------------------------------------------------------------------------------------
// Replies and the link

bool Download::onDownloadVersion(const std::string& moduleText) {
    return m_versionRules.downloadVersionCheck(moduleText);
}

void Download::onDownloadRefused() {
    m_preparing = false;
    hideProgress();
}

void Download::onDownloadDone() {
    // The engine has set the sequence state to 0 and sends the live poll after this.
    m_preparing = false;
    m_frameIndex = 1;
    m_image.setCanChanged(false);
    m_image.refreshThrottleLimitAxis();
    m_window.progress.shown = false;
    m_window.setMainButtons(true);
    m_window.tablesEnabled = true;
    m_window.notify();
    if (ended)
        ended();
}

void Download::onLinkLost() {
    if (m_preparing) {
        // Lost before any block was written: nothing to report beyond the engine's own messages.
        m_preparing = false;
        if (m_engine.sequenceState() == link::sequence::kDownloadSpeedSwitch)
            m_engine.setSequenceState(link::sequence::kIdle);
        hideProgress();
        return;
    }
    if (!ownsState(m_engine.sequenceState()))
        return;
    // Settle everything before the box opens: its event loop keeps timers and input running, and an
    // acknowledgement that arrived later must find no sequence to continue.
    m_engine.setSequenceState(link::sequence::kIdle);
    m_engine.setContinue(false);
    m_engine.sequenceTimer().stop();
    m_frameIndex = 1;
    m_incomplete = true;
    hideProgress();
    (void)m_prompter.message(link::MessageKind::Warning, text::kDownloadIncomplete, link::ButtonSet::Ok);
    if (abandoned)
        abandoned();
}

void Download::hideProgress() {
    m_window.progress.shown = false;
    m_window.notify();
}

}  // namespace etc::settings
