#include "qtio/pty_host.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace etc::qtio {

namespace {

// A line with nobody reading drops what it cannot hold; 64 KiB is far more than any answer.
constexpr std::size_t kBacklogLimit = 64 * 1024;

std::string errnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

int baudFromSpeed(speed_t speed) {
    switch (speed) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        case B230400:
            return 230400;
        default:
            return 0;
    }
}

}  // namespace

PtyHost::PtyHost(sim::Module& module, QObject* parent) : QObject(parent), m_module(module) {}

PtyHost::~PtyHost() {
    close();
    m_module.setLineOutput(nullptr);
    m_module.setUnplugHandler(nullptr);
}

std::optional<std::string> PtyHost::open() {
    if (isOpen())
        return std::nullopt;
    m_pulled = false;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0)
        return errnoText("posix_openpt");
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        const auto error = errnoText("grantpt/unlockpt");
        ::close(master);
        return error;
    }
    const char* name = ::ptsname(master);
    if (name == nullptr) {
        const auto error = errnoText("ptsname");
        ::close(master);
        return error;
    }
    const std::string path = name;
    const int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0) {
        const auto error = errnoText(path.c_str());
        ::close(master);
        return error;
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(slave, TCSANOW, &tio);
    }

    m_master = master;
    m_slave = slave;
    m_path = path;
    m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, [this] { onReadable(); });
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, [this] { onWritable(); });

    m_module.setOutput([this](std::span<const std::uint8_t> bytes) { output(bytes); });
    // The handler runs inside onReadable(), itself inside the read notifier's signal: the notifier is
    // only switched off here and destroyed from the loop afterwards.
    m_module.setUnplugHandler([this] {
        m_pulled = true;
        m_readNotifier->setEnabled(false);
        QMetaObject::invokeMethod(
            this,
            [this] {
                close();
                emit unplugged();
            },
            Qt::QueuedConnection);
    });
    return std::nullopt;
}

void PtyHost::close() {
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_backlog.clear();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}

int PtyHost::lineSpeed() const {
    termios tio{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0)
        return 0;
    return baudFromSpeed(::cfgetospeed(&tio));
}

void PtyHost::onReadable() {
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            // The speed is read when the bytes are: the tool sets it before it writes at it.
            m_module.receive(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)), lineSpeed());
            if (m_pulled)
                return;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: drained. EIO cannot happen while we hold the slave open; treat anything else as drained
        // too rather than spinning on a notifier that keeps firing.
        if (n < 0 && errno != EAGAIN && m_readNotifier)
            m_readNotifier->setEnabled(false);
        return;
    }
}

void PtyHost::output(std::span<const std::uint8_t> bytes) {
    if (!isOpen() || m_pulled)
        return;
    const std::size_t room = kBacklogLimit - std::min(kBacklogLimit, m_backlog.size());
    m_backlog.insert(m_backlog.end(), bytes.begin(),
                     bytes.begin() + static_cast<std::ptrdiff_t>(std::min(room, bytes.size())));
    flush();
}

void PtyHost::onWritable() {
    flush();
}

void PtyHost::flush() {
    while (!m_backlog.empty()) {
        const ssize_t n = ::write(m_master, m_backlog.data(), m_backlog.size());
        if (n > 0) {
            m_backlog.erase(m_backlog.begin(), m_backlog.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;  // EAGAIN: the slave's input queue is full; wait until it drains
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_backlog.empty());
}

}  // namespace etc::qtio
