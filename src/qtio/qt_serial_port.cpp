#include "qtio/qt_serial_port.h"

namespace etc::qtio {

QtSerialPort::QtSerialPort(QObject* parent) : QObject(parent) {
    // Queued: waitForBytesWritten() inside write() may read input and emit readyRead, and the engine
    // must not see a reply before its own send has finished.
    connect(
        &m_port, &QSerialPort::readyRead, this,
        [this] {
            if (m_readyRead && m_port.isOpen())
                m_readyRead(static_cast<std::size_t>(m_port.bytesAvailable()));
        },
        Qt::QueuedConnection);
}

QtSerialPort::~QtSerialPort() {
    m_readyRead = nullptr;
    if (m_port.isOpen())
        m_port.close();
}

std::optional<std::string> QtSerialPort::open(const std::string& name) {
    if (m_port.isOpen())
        m_port.close();
    m_port.setPortName(QString::fromStdString(name));
    m_port.setBaudRate(m_baud);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        std::string error = m_port.errorString().toStdString();
        m_port.clearError();
        return error.empty() ? std::string("Cannot open ") + name : error;
    }
    // DTR and RTS are held inactive. A pseudo-terminal refuses both with UnsupportedOperationError,
    // which is harmless.
    (void)m_port.setDataTerminalReady(false);
    (void)m_port.setRequestToSend(false);
    m_port.clearError();
    return std::nullopt;
}

void QtSerialPort::close() {
    if (m_port.isOpen())
        m_port.close();
}

bool QtSerialPort::isOpen() const {
    return m_port.isOpen();
}

void QtSerialPort::setBaudRate(int baud) {
    m_baud = baud;
    if (m_port.isOpen())
        (void)m_port.setBaudRate(baud);
}

bool QtSerialPort::write(std::span<const std::uint8_t> bytes) {
    if (!m_port.isOpen())
        return false;
    const auto size = static_cast<qint64>(bytes.size());
    if (m_port.write(reinterpret_cast<const char*>(bytes.data()), size) != size)
        return false;
    // The write is bounded: 2000 ms plus 100 ms per byte.
    const int limitMs = 2000 + 100 * static_cast<int>(bytes.size());
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(limitMs))
            return false;
    }
    return true;
}

bool QtSerialPort::read(std::size_t n, std::vector<std::uint8_t>& into) {
    const std::size_t old = into.size();
    into.resize(old + n);
    const qint64 got = m_port.read(reinterpret_cast<char*>(into.data() + old), static_cast<qint64>(n));
    if (got < 0) {
        into.resize(old);
        return false;
    }
    into.resize(old + static_cast<std::size_t>(got));
    return true;
}

std::size_t QtSerialPort::bytesAvailable() const {
    return static_cast<std::size_t>(m_port.bytesAvailable());
}

void QtSerialPort::purge() {
    if (m_port.isOpen())
        (void)m_port.clear(QSerialPort::AllDirections);
}

}  // namespace etc::qtio
