#include "sim/module.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace etc::sim {

namespace {

using link::Bytes;
using link::Duration;

// Settings words the calibration run writes: the ETC block starts at word 35, its sensor ranges are
// words; the calibration block starts at word 896, w30/w31 bound the TPS 1 range.
constexpr int kMinValueTps1 = 35 + 18;
constexpr int kMaxValueTps1 = 35 + 19;
constexpr int kMinValueTps2 = 35 + 20;
constexpr int kMaxValueTps2 = 35 + 21;
constexpr int kMinValuePed1 = 35 + 29;
constexpr int kMaxValuePed1 = 35 + 30;
constexpr int kMinValuePed2 = 35 + 31;
constexpr int kMaxValuePed2 = 35 + 32;
constexpr int kTps1LowerLimit = 896 + 30;
constexpr int kTps1UpperLimit = 896 + 31;

// The simulated sensors: voltage in mV against position in 0.5 % (0..200).
constexpr int kPedal1MinMv = 500, kPedal1MaxMv = 4500;
constexpr int kPedal2MinMv = 250, kPedal2MaxMv = 2250;
constexpr int kTps1MinMv = 600, kTps1MaxMv = 4400;
constexpr int kTps2MinMv = 300, kTps2MaxMv = 2200;
constexpr int kFullScale = 200;

// Animation: the pedal sweeps 0..80 % and back in this period; the valve trails it.
constexpr std::int64_t kSweepMs = 16000;
constexpr int kSweepTop = 160;
constexpr std::int64_t kValveLagMs = 150;

Duration wire(std::size_t bytes, int baud) {
    return Duration(link::wireTimeNs(bytes, baud));
}

Bytes withSum(Bytes frame) {
    frame.push_back(link::Sum8(frame));
    return frame;
}

void putWord(Bytes& out, std::array<std::uint8_t, 2> two) {
    out.insert(out.end(), two.begin(), two.end());
}

std::uint16_t millivolts(int position, int minMv, int maxMv) {
    return static_cast<std::uint16_t>(minMv + (maxMv - minMv) * position / kFullScale);
}

// 0..kSweepTop and back, a triangle over kSweepMs.
int sweep(std::int64_t ms) {
    const std::int64_t phase = ((ms % kSweepMs) + kSweepMs) % kSweepMs;
    const std::int64_t half = kSweepMs / 2;
    const std::int64_t rising = phase < half ? phase : kSweepMs - phase;
    return static_cast<int>(rising * kSweepTop / half);
}

}  // namespace

bool loadImage(const std::string& path, Memory& memory, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    if (bytes.size() != kImageBytes) {
        error = path + ": " + std::to_string(bytes.size()) + " bytes, a settings image has " +
                std::to_string(kImageBytes);
        return false;
    }
    for (std::size_t w = 0; w < kMemoryWords; ++w)
        memory[w] = static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[2 * w]) << 8 |
                                               static_cast<std::uint8_t>(bytes[2 * w + 1]));
    return true;
}

std::string Module::wirePassword(const std::string& text) {
    std::string wireForm = text.substr(0, 10);
    wireForm.resize(10, '0');
    return wireForm;
}

Module::Module(link::TimerService& timers, ModuleConfig config)
    : m_timers(timers),
      m_config(std::move(config)),
      m_memory(m_config.memory),
      m_origin(timers.now()),
      m_outputTimer(timers.createTimer()),
      m_calibrationTimer(timers.createTimer()),
      m_masterLevel(m_config.masterLevel),
      m_userLevel(m_config.userLevel),
      m_userPassword(wirePassword(m_config.userPassword)),
      m_masterPassword(wirePassword(m_config.masterPassword)),
      m_resetPassword(wirePassword(m_config.resetUserPassword)) {
    m_outputTimer->setHandler([this] { deliverDue(); });
    m_calibrationTimer->setHandler([this] {
        m_calibrationTimer->stop();
        finishCalibrationRun();
    });
}

Module::~Module() = default;

void Module::setOutput(Output out) {
    if (!out) {
        m_output = nullptr;
        return;
    }
    m_output = [out = std::move(out)](std::span<const std::uint8_t> bytes, int) { out(bytes); };
}

void Module::setLineOutput(LineOutput out) {
    m_output = std::move(out);
}
void Module::setUnplugHandler(std::function<void()> handler) {
    m_onUnplug = std::move(handler);
}
void Module::setRequestObserver(std::function<void(const RequestRecord&)> observer) {
    m_observer = std::move(observer);
}

void Module::setLevels(int master, int user) {
    m_masterLevel = master;
    m_userLevel = user;
}

void Module::replug() {
    m_unplugged = false;
    m_framer.reset();
}

int Module::requestCount(char letter) const {
    const auto it = m_counts.find(static_cast<std::uint8_t>(letter));
    return it == m_counts.end() ? 0 : it->second;
}

void Module::receive(std::span<const std::uint8_t> bytes, int baud) {
    const Duration start = std::max(m_timers.now(), m_lineInFreeAt);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto frame = m_framer.push(bytes[i], start + wire(i, baud), start + wire(i + 1, baud), baud);
        if (frame && !m_unplugged)
            handleFrame(*frame);
    }
    m_lineInFreeAt = start + wire(bytes.size(), baud);
}

bool Module::hears(const ReceivedFrame& frame) const {
    const std::uint8_t letter = frame.bytes.front();
    if (frame.baud == kLowSpeed)
        return letter == 'V' || letter == 'G';
    if (frame.baud == kHighSpeed)
        return m_highSpeed && letter != 'V' && letter != 'G';
    return false;
}

bool Module::wellFormed(const Bytes& frame) {
    if (frame.size() == 1)
        return true;
    const auto body = link::ByteView(frame).first(frame.size() - 1);
    if (frame.back() != link::Sum8(body))
        return false;
    if (frame[0] == 'a')
        return std::equal(frame.begin() + 1, frame.begin() + 5, "ABCD");
    if (frame[0] == 'q')
        return std::equal(frame.begin() + 1, frame.begin() + 4, "ABC");
    return true;
}

void Module::handleFrame(const ReceivedFrame& frame) {
    RequestRecord record{frame.at, frame.baud, frame.bytes, hears(frame) && wellFormed(frame.bytes)};
    if (m_observer)
        m_observer(record);
    const bool accepted = record.accepted;
    if (m_config.keepLog)
        m_log.push_back(std::move(record));
    if (!accepted)
        return;

    const std::uint8_t letter = frame.bytes.front();
    const int nth = ++m_counts[letter];
    bool drop = false, corrupt = false, nak = false, unplug = false;
    Duration extra{};
    for (const Fault& fault : m_config.faults) {
        if (static_cast<std::uint8_t>(fault.letter) != letter || fault.nth != nth)
            continue;
        switch (fault.kind) {
            case FaultKind::Drop:
                drop = true;
                break;
            case FaultKind::Corrupt:
                corrupt = true;
                break;
            case FaultKind::Nak:
                nak = true;
                break;
            case FaultKind::Delay:
                extra += fault.delay;
                break;
            case FaultKind::Unplug:
                unplug = true;
                break;
        }
    }
    if (unplug) {
        m_unplugged = true;
        m_pending.clear();
        m_outputTimer->stop();
        if (m_onUnplug)
            m_onUnplug();
        return;
    }
    if (drop)
        return;

    auto reply = execute(frame.bytes, nak);
    if (!reply || reply->empty())
        return;
    if (corrupt) {
        if (reply->size() == 1)
            reply->back() ^= 0x80;
        else
            reply->back() = static_cast<std::uint8_t>(reply->back() + 1);
    }
    send(std::move(*reply), frame.at + m_config.latency + extra, frame.baud);
}

std::optional<Bytes> Module::execute(const Bytes& frame, bool nak) {
    const std::uint8_t letter = frame.front();
    static const Bytes kYes{'Y'};
    static const Bytes kNo{'N'};
    switch (letter) {
        case 'V': {
            if (nak)
                return std::nullopt;
            m_highSpeed = false;
            m_access = Access::None;
            Bytes reply{'V'};
            reply.insert(reply.end(), m_config.version.begin(), m_config.version.end());
            return withSum(std::move(reply));
        }
        case 'G':
            if (!nak)
                m_highSpeed = true;
            return std::nullopt;
        case 'S': {
            if (nak)
                return std::nullopt;
            Bytes reply{'S'};
            reply.insert(reply.end(), m_config.serial.begin(), m_config.serial.end());
            return withSum(std::move(reply));
        }
        case '*':
            if (nak)
                return std::nullopt;
            return liveFrame();
        case 'L':
            if (nak)
                return kNo;
            m_settingsKept = true;
            return Bytes{'L'};
        case 'R':
            return nak ? kNo : Bytes{'R'};
        case 'a':
            if (nak)
                return std::nullopt;
            return withSum({'a', link::Byte8::encode(m_masterLevel), link::Byte8::encode(m_userLevel)});
        case 'A':
        case 'P':
        case 'p':
            if (nak)
                return withSum({letter, 'N', 'O'});
            return answerAccess(frame);
        case 'q':
            if (nak)
                return std::nullopt;
            return withSum({'q', calibrate(frame[4])});
        case 'Z':
            if (nak)
                return std::nullopt;
            return blockRead(frame);
        case 'E':
            if (nak)
                return kNo;
            return blockWrite(frame) ? kYes : kNo;
        case 'B':
        case 'C':
            if (nak)
                return kNo;
            return cellWrite(frame) ? kYes : kNo;
        default:
            return std::nullopt;
    }
}

Bytes Module::answerAccess(const Bytes& frame) {
    const std::uint8_t letter = frame.front();
    bool ok = false;
    if (letter == 'p') {
        const std::string given(frame.begin() + 1, frame.begin() + 11);
        if (given == m_masterPassword) {
            m_access = Access::Master;
            m_userPassword = m_resetPassword;
            ok = true;
        } else if (given == m_userPassword) {
            m_access = Access::User;
            ok = true;
        } else {
            m_access = Access::None;
        }
    } else if (letter == 'P') {
        ok = m_access != Access::None;
        if (ok)
            m_userPassword.assign(frame.begin() + 1, frame.begin() + 11);
    } else {  // 'A': the two bytes are SignMag16 of master * 256 + user, i.e. master and user as bytes
        const int master = frame[1];
        const int user = frame[2];
        ok = m_access != Access::None && master == m_masterLevel && user >= 1 &&
             user <= std::min(m_masterLevel, 4);
        if (ok)
            m_userLevel = user;
    }
    return ok ? withSum({letter, 'O', 'K'}) : withSum({letter, 'N', 'O'});
}

std::optional<Bytes> Module::blockRead(const Bytes& frame) const {
    const int address = link::SignMag16::decode(frame[1], frame[2]);
    const int words = link::SignMag16::decode(frame[3], frame[4]);
    if (address < 0 || words < 0 || address + words > static_cast<int>(kMemoryWords))
        return std::nullopt;
    Bytes reply{'Z'};
    reply.reserve(2 * static_cast<std::size_t>(words) + 2);
    for (int w = address; w < address + words; ++w)
        putWord(reply, link::UInt16BE::encode(m_memory[w]));
    return withSum(std::move(reply));
}

bool Module::blockWrite(const Bytes& frame) {
    const int length = link::SignMag16::decode(frame[1], frame[2]);
    const int address = link::SignMag16::decode(frame[3], frame[4]);
    if (address < 0 || address >= static_cast<int>(kMemoryWords) ||
        2 * address + length > static_cast<int>(kImageBytes))
        return false;
    for (int i = 0; i < length; ++i) {
        std::uint16_t& word = m_memory[address + i / 2];
        const std::uint8_t byte = frame[5 + i];
        word = i % 2 == 0 ? static_cast<std::uint16_t>(byte << 8 | (word & 0x00FF))
                          : static_cast<std::uint16_t>((word & 0xFF00) | byte);
    }
    m_settingsKept = false;
    return true;
}

bool Module::cellWrite(const Bytes& frame) {
    const int address = link::SignMag16::decode(frame[1], frame[2]);
    if (address < 0 || address >= static_cast<int>(kMemoryWords))
        return false;
    const std::uint8_t value = frame[3];
    const bool highByte = frame[4] % 2 == 1;
    std::uint16_t& word = m_memory[address];
    word = highByte ? static_cast<std::uint16_t>(value << 8 | (word & 0x00FF))
                    : static_cast<std::uint16_t>((word & 0xFF00) | value);
    m_settingsKept = false;
    return true;
}

std::uint8_t Module::calibrate(int step) {
    Calibration& c = m_calibration;
    const bool resend = step == c.lastStep &&
                        (step == 10 || step == 11 || step == 12 || ((step == 1 || step == 2) && c.running));
    if (resend)
        return c.lastCode;

    std::uint8_t code = kCalibrationSequenceError;
    switch (step) {
        case 0:
        case 1:
        case 2:
            if (m_live.engineSpeed != 0)
                return kCalibrationRefused;
            m_calibrationTimer->stop();
            c = Calibration{};
            if (step == 0) {
                c.expected = 10;
                code = 10;
                c.pedalHold = kFullScale;
            } else {
                startCalibrationRun(true);
                code = 13;
            }
            break;
        case 10:
            if (c.expected != 10)
                return kCalibrationSequenceError;
            c.expected = 11;
            c.pedalHold = 0;
            code = 11;
            break;
        case 11:
            if (c.expected != 11)
                return kCalibrationSequenceError;
            c.expected = 12;
            c.pedalHold = kFullScale;
            code = 12;
            break;
        case 12:
            if (c.expected != 12)
                return kCalibrationSequenceError;
            c.expected = -1;
            startCalibrationRun(false);
            code = 13;
            break;
        case 13:
            return c.running || c.finished ? 13 : kCalibrationSequenceError;
        default:
            return kCalibrationSequenceError;
    }
    c.lastStep = step;
    c.lastCode = code;
    return code;
}

void Module::startCalibrationRun(bool throttle) {
    m_calibration.throttle = throttle;
    m_calibration.running = true;
    m_calibration.finished = false;
    m_calibration.status = 1;
    m_calibrationTimer->stop();
    m_calibrationTimer->setInterval(m_config.calibrationTime);
    m_calibrationTimer->start();
}

void Module::finishCalibrationRun() {
    Calibration& c = m_calibration;
    c.running = false;
    c.finished = true;
    c.pedalHold.reset();
    c.status = m_config.calibrationResult;
    if (c.status != 0)
        return;
    if (c.throttle) {
        m_memory[kMinValueTps1] = kTps1MinMv;
        m_memory[kMaxValueTps1] = kTps1MaxMv;
        m_memory[kMinValueTps2] = kTps2MinMv;
        m_memory[kMaxValueTps2] = kTps2MaxMv;
        m_memory[kTps1LowerLimit] = kTps1MinMv;
        m_memory[kTps1UpperLimit] = kTps1MaxMv;
    } else {
        m_memory[kMinValuePed1] = kPedal1MinMv;
        m_memory[kMaxValuePed1] = kPedal1MaxMv;
        m_memory[kMinValuePed2] = kPedal2MinMv;
        m_memory[kMaxValuePed2] = kPedal2MaxMv;
    }
    m_settingsKept = false;
}

Bytes Module::liveFrame() const {
    LiveValues v = m_live;
    if (m_config.animate) {
        const std::int64_t ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_timers.now() - m_origin).count();
        const int pedal = m_calibration.pedalHold ? *m_calibration.pedalHold : sweep(ms);
        const int valve = m_calibration.running ? sweep(ms * 4) : sweep(ms - kValveLagMs);
        v.pedal1 = v.pedal2 = static_cast<std::uint16_t>(pedal);
        v.pedal1mV = millivolts(pedal, kPedal1MinMv, kPedal1MaxMv);
        v.pedal2mV = millivolts(pedal, kPedal2MinMv, kPedal2MaxMv);
        v.throttle1 = v.throttle2 = static_cast<std::uint16_t>(valve);
        v.throttle1mV = millivolts(valve, kTps1MinMv, kTps1MaxMv);
        v.throttle2mV = millivolts(valve, kTps2MinMv, kTps2MaxMv);
        v.loadInput = static_cast<std::uint16_t>(pedal);
        v.pidCorrection = static_cast<std::int16_t>(pedal - valve);  // the loop pushes towards the pedal
        v.pwm = static_cast<std::int16_t>(valve * 5 + v.pidCorrection * 28);
        v.motorCurrent = static_cast<std::uint16_t>(m_live.motorCurrent + std::abs(pedal - valve) / 2);
        v.battery = static_cast<std::uint16_t>(m_live.battery + (ms / 5000) % 2);
        v.etcTemp =
            m_live.etcTemp + static_cast<int>(std::min<std::int64_t>(ms / 60000, 10));  // warms up slowly
        if (m_live.engineSpeed != 0)
            v.engineSpeed = static_cast<std::uint16_t>(
                std::max(1, m_live.engineSpeed + static_cast<int>((ms / 500) % 5) - 2));
    }

    Bytes f{'*'};
    f.reserve(link::kLiveFrameLength);
    putWord(f, link::UInt16BE::encode(v.engineSpeed));
    putWord(f, link::UInt16BE::encode(v.pedal1));
    putWord(f, link::UInt16BE::encode(v.pedal1mV));
    putWord(f, link::UInt16BE::encode(v.pedal2mV));
    putWord(f, link::UInt16BE::encode(v.throttle1));
    putWord(f, link::UInt16BE::encode(v.throttle1mV));
    putWord(f, link::UInt16BE::encode(v.battery));
    putWord(f, link::UInt16BE::encode(v.throttle2mV));
    putWord(f, link::Int16BE::encode(v.throttleCorrection));
    putWord(f, link::UInt16BE::encode(v.motorCurrent));
    putWord(f, link::Int16BE::encode(v.pidCorrection));
    putWord(f, link::Int16BE::encode(v.pwm));
    putWord(f, link::UInt16BE::encode(v.loadInput));
    putWord(f, link::UInt16BE::encode(v.responseCurve));
    putWord(f, link::SignMag16::encode(v.waterTemp + 20));
    putWord(f, link::SignMag16::encode(v.etcTemp + 20));
    putWord(f, link::UInt16BE::encode(v.varLaunch));
    putWord(f, link::UInt16BE::encode(v.pedal1Mark));
    putWord(f, link::UInt16BE::encode(v.pedal2));
    putWord(f, link::UInt16BE::encode(v.pedal2Mark));
    putWord(f, link::UInt16BE::encode(v.throttle2));
    putWord(f, link::UInt16BE::encode(v.status));
    putWord(f, link::UInt16BE::encode(m_calibration.status));
    putWord(f, link::UInt16BE::encode(v.varAls));
    f.resize(58, 0);  // offsets 49..57 are not used
    for (std::uint16_t e : v.errors)
        putWord(f, link::UInt16BE::encode(e));
    f.push_back(0);  // offset 64 is not used
    return withSum(std::move(f));
}

void Module::send(Bytes reply, Duration readyAt, int baud) {
    const Duration start = std::max(readyAt, m_lineOutFreeAt);
    const std::size_t chunk = m_config.chunkBytes == 0 ? reply.size() : m_config.chunkBytes;
    for (std::size_t from = 0; from < reply.size(); from += chunk) {
        const std::size_t to = std::min(reply.size(), from + chunk);
        m_pending.push_back({start + wire(to, baud), baud,
                             Bytes(reply.begin() + static_cast<std::ptrdiff_t>(from),
                                   reply.begin() + static_cast<std::ptrdiff_t>(to))});
    }
    m_lineOutFreeAt = start + wire(reply.size(), baud);
    armOutput();
}

void Module::armOutput() {
    if (m_delivering)
        return;
    m_outputTimer->stop();
    if (m_pending.empty())
        return;
    m_outputTimer->setInterval(std::max(Duration{0}, m_pending.front().due - m_timers.now()));
    m_outputTimer->start();
}

void Module::deliverDue() {
    m_outputTimer->stop();
    m_delivering = true;
    // The output may write the next request straight back into receive(); pieces it queues are
    // delivered by this loop when already due, otherwise by the re-armed timer.
    while (!m_pending.empty() && m_pending.front().due <= m_timers.now()) {
        Piece piece = std::move(m_pending.front());
        m_pending.pop_front();
        if (m_output)
            m_output(piece.bytes, piece.baud);
    }
    m_delivering = false;
    armOutput();
}

}  // namespace etc::sim
