#include "link/request_engine.h"

#include <string_view>

namespace etc::link {

bool isKnownReplyLetter(std::uint8_t b) {
    static constexpr std::string_view kKnown = "*.?ABCDEIJLPQRSTVYZadfijpq";
    return kKnown.find(static_cast<char>(b)) != std::string_view::npos;
}

RequestEngine::RequestEngine(SerialPort& port, TimerService& timers, Prompter& prompter)
    : m_port(port),
      m_prompter(prompter),
      m_timer1(timers.createTimer()),
      m_timer2(timers.createTimer()),
      m_timer3(timers.createTimer()),
      m_timer4(timers.createTimer()) {
    m_timer1->setInterval(kPollInterval);
    m_timer2->setInterval(kReplyInterval);
    m_timer3->setInterval(kSequenceInterval);
    m_timer4->setInterval(kStepInterval);
    m_timer1->setHandler([this] { sendLivePoll(); });
    m_timer2->setHandler([this] { onTimeout(); });
    m_timer3->setHandler([this] { onSequenceTimer(); });
    m_timer4->setHandler([this] { onStepTimer(); });
    m_port.setBaudRate(kSlowBaud);
    m_port.setReadyRead([this](std::size_t) { onInput(); });
    m_buffer.reserve(256);
    m_reply.reserve(256);
}

RequestEngine::~RequestEngine() {
    m_port.setReadyRead(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Operations

void RequestEngine::stopPolling() {
    m_timer1->stop();
    m_timer2->stop();
    m_receiveBlocked = true;
}

void RequestEngine::schedule(int code) {
    m_nextStep = code;
    m_timer4->start();
}

void RequestEngine::failurePath() {
    stopPolling();
    schedule(step::kTimeout);
}

void RequestEngine::goOnline() {
    if (m_online)
        return;
    m_online = true;
    if (m_hooks.onlineChanged)
        m_hooks.onlineChanged(true);
}

void RequestEngine::goOffline() {
    if (m_port.isOpen())
        m_port.close();
    m_online = false;
    // Told every time, not only on a change: going offline also hides the progress panel and resets
    // the dashboard, which matters when a transfer started while the tool was already offline.
    if (m_hooks.onlineChanged)
        m_hooks.onlineChanged(false);
}

void RequestEngine::setDataNotLocked(bool marked) {
    if (m_dataNotLocked == marked)
        return;
    m_dataNotLocked = marked;
    if (m_hooks.dataNotLockedChanged)
        m_hooks.dataNotLockedChanged(marked);
}

void RequestEngine::refreshErrorLabel() {
    m_errorLabel = text::kErrorsLabelPrefix + std::to_string(m_errorCount);
    if (m_hooks.errorLabelChanged)
        m_hooks.errorLabelChanged(m_errorLabel);
}

void RequestEngine::showError(const std::string& text, ButtonSet buttons) {
    (void)m_prompter.message(MessageKind::Error, text, buttons);
}

void RequestEngine::resetReceive() {
    m_received = 0;
    m_buffer.clear();
}

bool RequestEngine::ensureOpen(OpenFailure onFailure) {
    if (m_port.isOpen())
        return true;
    const auto error = m_port.open(m_portName);
    if (!error)
        return true;
    switch (onFailure) {
        case OpenFailure::Connect:
            stopPolling();
            m_timer3->stop();
            m_timer4->stop();
            goOffline();
            showError(text::kPortNotAvailable);
            break;
        case OpenFailure::Download:
            showError(text::kPortNotAvailableDownload);
            break;
        case OpenFailure::Plain:
            showError(*error);
            break;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// The send primitive

void RequestEngine::send(char expected, const Bytes& frame) {
    m_expected = expected;
    if (!m_port.isOpen()) {
        showError(text::kSendWhilePortClosed);
        return;
    }
    resetReceive();
    const bool written = m_port.write(frame);
    m_timer2->start();
    if (!written)
        writeFailed();
}

void RequestEngine::writeFailed() {
    stopPolling();
    m_timer3->stop();
    m_timer4->stop();
    goOffline();
    showError(text::kWriteFailed);
}

bool RequestEngine::writeHighSpeedSwitch() {
    const Bytes g = request::highSpeed();
    if (m_port.write(g))
        return true;
    // A lost "G" would leave the module at 9600 while the tool talks at 115200: the same as any
    // failed write.
    writeFailed();
    return false;
}

// ---------------------------------------------------------------------------------------------
// Senders

void RequestEngine::sendVersionAtConnect() {
    if (!ensureOpen(OpenFailure::Connect))
        return;
    send('V', request::version());
}

void RequestEngine::sendVersionBeforeDownload() {
    if (!ensureOpen(OpenFailure::Download))
        return;
    send('v', request::version());
}

void RequestEngine::sendProbe() {
    m_receiveBlocked = false;
    send('6', request::version());
}

void RequestEngine::sendSerialNumber() {
    if (!ensureOpen(OpenFailure::Plain))
        return;
    send('S', request::serialNumber());
}

void RequestEngine::sendAccessLevelQuery() {
    if (!onlineAndOpen())
        return;
    send('a', request::accessLevels());
    refreshErrorLabel();
}

void RequestEngine::sendSetAccessLevel() {
    if (!ensureOpen(OpenFailure::Plain))
        return;
    const auto [master, user] = m_hooks.chosenLevels ? m_hooks.chosenLevels() : std::pair<int, int>{0, 0};
    send('A', request::setAccessLevel(master, user));
    refreshErrorLabel();
}

void RequestEngine::sendPassword(char letter) {
    if (!ensureOpen(OpenFailure::Plain))
        return;
    const std::string password = m_hooks.paddedPassword ? m_hooks.paddedPassword() : std::string{};
    send(letter, request::password(letter, password));
    refreshErrorLabel();
}

void RequestEngine::sendCalibration() {
    if (!onlineAndOpen())
        return;
    send('q', request::calibration(m_hooks.calibrationStep ? m_hooks.calibrationStep() : 0));
    refreshErrorLabel();
}

void RequestEngine::sendWrite(char expected, const Bytes& frame, bool fromChartEditor) {
    if (!onlineAndOpen()) {
        // Nothing is written, but a running sequence can still step on through its states.
        m_continue = true;
        if (fromChartEditor && m_hooks.chartChangeCleared)
            m_hooks.chartChangeCleared();
        return;
    }
    send(expected, frame);
    setDataNotLocked(true);
}

void RequestEngine::sendCellWrite() {
    sendWrite('B', request::cellWrite('B', m_payload), false);
}

void RequestEngine::sendChartCellWrite() {
    sendWrite('b', request::cellWrite('B', m_payload), true);
}

void RequestEngine::sendChartCellWriteC() {
    sendWrite('c', request::cellWrite('C', m_payload), true);
}

void RequestEngine::sendBlockWrite() {
    sendWrite('E', request::blockWrite(m_payload), false);
}

void RequestEngine::sendBlockRead(int address, int words) {
    m_readAddress = address;
    m_readWords = words;
    if (!onlineAndOpen())
        return;
    m_port.purge();
    send('Z', request::blockRead(address, words));
}

void RequestEngine::sendLock() {
    if (!m_online)
        return;
    send('L', request::lock());
    refreshErrorLabel();
}

void RequestEngine::sendClosing() {
    send('R', request::closing());
}

void RequestEngine::sendLivePoll() {
    if (!onlineAndOpen())
        return;
    // The poll timer runs before the write, so that a failed write stops it again.
    m_timer1->start();
    send('*', request::livePoll());
    refreshErrorLabel();
}

// ---------------------------------------------------------------------------------------------
// Input

void RequestEngine::onInput() {
    if (m_receiveBlocked)
        return;
    const std::size_t n = m_port.bytesAvailable();
    if (n == 0)
        return;
    if (!m_port.read(n, m_buffer)) {
        failurePath();
        showError(text::kReadFailed, ButtonSet::YesNo);
        return;
    }
    m_received += n;
    if (m_expected == 'Z' && m_hooks.blockProgress)
        m_hooks.blockProgress(n);
    if (!isKnownReplyLetter(m_buffer.front())) {
        resetReceive();
        failurePath();
        return;
    }
    handleReply();
}

bool RequestEngine::checksumPasses() {
    m_timer2->stop();
    if (replyCheck(m_buffer))
        return true;
    failurePath();
    return false;
}

void RequestEngine::handleReply() {
    const std::uint8_t first = m_buffer.front();
    // The reply letter each expected letter requires; 0 for the acknowledgements, which are decided
    // by their first byte alone.
    char required = 0;
    std::size_t minimum = 0;
    switch (m_expected) {
        case '*':
            required = '*', minimum = kLiveFrameLength;
            break;
        case 'V':
        case 'v':
        case '6':
            required = 'V', minimum = kVersionReplyMin;
            break;
        case 'S':
            required = 'S', minimum = kSerialReplyMin;
            break;
        case 'a':
            required = 'a', minimum = kLevelsReplyMin;
            break;
        case 'A':
        case 'P':
        case 'p':
            required = m_expected, minimum = kAnswerReplyMin;
            break;
        case 'q':
            required = 'q', minimum = kCalibrationReplyMin;
            break;
        case 'Z':
            required = 'Z', minimum = blockReplyLength(m_readWords);
            break;
        case 'B':
        case 'C':
        case 'E':
        case 'b':
        case 'c':
        case 'L':
        case 'R':
            handleAcknowledgement();
            return;
        default:
            return;  // nothing in flight
    }
    if (first != static_cast<std::uint8_t>(required)) {
        failurePath();
        return;
    }
    if (m_expected == 'Z') {
        // The block time-out counts from the last piece received, not from the send. A count that
        // overshoots never completes and ends in the time-out.
        if (m_received < minimum) {
            m_timer2->restart();
            return;
        }
        if (m_received > minimum)
            return;
    } else if (m_received < minimum) {
        return;  // wait; the reply timer keeps running from the send
    }
    if (!checksumPasses())
        return;

    // The completed reply moves to m_reply so that the state is settled before any hook runs: a hook
    // may open a message box whose nested event loop sends the next request.
    m_reply.swap(m_buffer);
    resetReceive();
    const ByteView reply(m_reply);
    switch (m_expected) {
        case '*':
            m_timer1->restart();
            m_errorCount = 0;
            if (m_hooks.liveFrame)
                m_hooks.liveFrame(reply);
            break;
        case 'V':
            if (m_hooks.versionText)
                m_hooks.versionText(replyText(reply));
            if (!writeHighSpeedSwitch())
                return;
            m_continue = true;
            m_sequenceState = sequence::kConnectSpeedSwitch;
            m_timer3->start();
            break;
        case 'v': {
            const bool goOn = !m_hooks.downloadVersion || m_hooks.downloadVersion(replyText(reply));
            if (goOn) {
                if (!writeHighSpeedSwitch())
                    return;
                m_continue = true;
                m_sequenceState = sequence::kDownloadSpeedSwitch;
                m_timer3->start();
            } else {
                stopPolling();
                if (m_hooks.downloadRefused)
                    m_hooks.downloadRefused();
            }
            break;
        }
        case '6':
            if (m_hooks.probeAnswered)
                m_hooks.probeAnswered(replyText(reply));
            break;
        case 'S':
            if (m_hooks.serialNumber)
                m_hooks.serialNumber(replyText(reply));
            goOnline();
            sendAccessLevelQuery();
            break;
        case 'a':
            if (m_hooks.accessLevels)
                m_hooks.accessLevels(reply[1], reply[2]);
            break;
        case 'A':
        case 'P':
        case 'p': {
            const bool ok = reply[1] == 'O' && reply[2] == 'K';
            const bool no = reply[1] == 'N' && reply[2] == 'O';
            if (!ok && !no) {
                failurePath();
                return;
            }
            if (m_hooks.answer)
                m_hooks.answer(m_expected, ok);
            break;
        }
        case 'q':
            if (m_hooks.calibrationStatus)
                m_hooks.calibrationStatus(reply[1]);
            break;
        case 'Z':
            m_errorCount = 0;
            if (m_hooks.blockRead)
                m_hooks.blockRead(reply);
            break;
        default:
            break;
    }
}

void RequestEngine::handleAcknowledgement() {
    m_timer2->stop();
    const std::uint8_t first = m_buffer.front();
    switch (m_expected) {
        case 'B':
        case 'C':
        case 'E':
            if (first != 'Y')
                break;
            m_errorCount = 0;
            m_continue = true;
            return;
        case 'b':
        case 'c':
            if (first != 'Y')
                break;
            m_errorCount = 0;
            m_continue = true;
            if (m_hooks.chartChangeCleared)
                m_hooks.chartChangeCleared();
            schedule(step::kPoll);
            return;
        case 'L':
            if (first != 'L')
                break;
            m_errorCount = 0;
            setDataNotLocked(false);
            m_timer1->start();
            if (m_hooks.lockDone)
                m_hooks.lockDone();
            return;
        case 'R':
            if (first != 'R')
                break;
            m_sequenceState = sequence::kIdle;
            if (m_hooks.downloadDone)
                m_hooks.downloadDone();
            sendLivePoll();
            return;
        default:
            return;
    }
    failurePath();
}

// ---------------------------------------------------------------------------------------------
// Time-out, step and sequence timers

void RequestEngine::onTimeout() {
    if (!m_port.isOpen())
        return;
    m_port.purge();
    ++m_errorCount;
    refreshErrorLabel();
    if (m_errorCount >= kMaxFailures) {
        stopPolling();
        goOffline();
        m_errorCount = 0;
        resetReceive();
        if (m_expected == 'L')
            setDataNotLocked(true);
        if (m_hooks.gaveUp)
            m_hooks.gaveUp();
        if (m_expected == '6' && m_hooks.probeGaveUp)
            m_hooks.probeGaveUp();
        return;
    }
    switch (m_expected) {
        case '*':
            sendLivePoll();
            break;
        case 'V':
            sendVersionAtConnect();
            break;
        case 'v':
            sendVersionBeforeDownload();
            break;
        case '6':
            if (m_hooks.portProbe)
                m_hooks.portProbe();
            break;
        case 'S':
            sendSerialNumber();
            break;
        case 'a':
            sendAccessLevelQuery();
            break;
        case 'A':
            sendSetAccessLevel();
            break;
        case 'P':
        case 'p':
            sendPassword(m_expected);
            break;
        case 'q':
            sendCalibration();
            break;
        case 'Z':
            sendBlockRead(m_readAddress, m_readWords);
            break;
        case 'B':
            sendCellWrite();
            if (m_sequenceState != sequence::kIdle)
                m_timer3->start();
            break;
        case 'E':
            sendBlockWrite();
            break;
        case 'b':
            schedule(step::kChartCellWrite);
            if (m_sequenceState != sequence::kIdle)
                m_timer3->start();
            break;
        case 'c':
            schedule(step::kChartCellWriteC);
            if (m_sequenceState != sequence::kIdle)
                m_timer3->start();
            break;
        case 'L':
            sendLock();
            break;
        case 'R':
            sendClosing();
            break;
        default:
            break;
    }
}

void RequestEngine::onStepTimer() {
    m_timer4->stop();
    m_receiveBlocked = false;
    switch (m_nextStep) {
        case step::kConnect:
            m_port.setBaudRate(kSlowBaud);
            sendVersionAtConnect();
            m_timer4->setInterval(kStepInterval);
            break;
        case step::kChartCellWriteC:
            sendChartCellWriteC();
            break;
        case step::kEditRun:
        case step::kPedalEditRun:
            if (m_hooks.editRun)
                m_hooks.editRun(m_nextStep);
            break;
        case step::kPoll:
            sendLivePoll();
            break;
        case step::kTimeout:
            m_timer4->setInterval(kStepInterval);
            onTimeout();
            break;
        case step::kLock:
            sendLock();
            break;
        case step::kChartCellWrite:
            sendChartCellWrite();
            break;
        case step::kCalibration:
            sendCalibration();
            break;
        case step::kPortProbe:
            if (m_port.isOpen())
                m_port.close();
            if (m_hooks.portProbe)
                m_hooks.portProbe();
            m_timer4->setInterval(kSearchStepInterval);
            break;
        default:
            break;
    }
}

void RequestEngine::onSequenceTimer() {
    if (!m_continue)
        return;
    m_timer3->stop();
    m_continue = false;
    switch (m_sequenceState) {
        case sequence::kConnectSpeedSwitch:
            m_port.setBaudRate(kFastBaud);
            m_sequenceState = sequence::kIdle;
            m_continue = true;
            sendSerialNumber();
            break;
        case sequence::kDownloadSpeedSwitch:
            m_port.setBaudRate(kFastBaud);
            m_continue = true;
            m_sequenceState = sequence::kFirstDownloadState;
            m_timer3->start();
            break;
        default:
            if (m_hooks.sequenceState)
                m_hooks.sequenceState(m_sequenceState);
            break;
    }
}

}  // namespace etc::link
