// The serial port seam on QSerialPort.
#pragma once

#include <QObject>
#include <QSerialPort>

#include "link/serial_port.h"

namespace etc::qtio {

class QtSerialPort final : public QObject, public link::SerialPort {
    Q_OBJECT
  public:
    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;

    [[nodiscard]] std::optional<std::string> open(const std::string& name) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override;
    void setBaudRate(int baud) override;
    [[nodiscard]] int baudRate() const override { return m_baud; }
    [[nodiscard]] bool write(std::span<const std::uint8_t> bytes) override;
    [[nodiscard]] bool read(std::size_t n, std::vector<std::uint8_t>& into) override;
    [[nodiscard]] std::size_t bytesAvailable() const override;
    void purge() override;
    void setReadyRead(ReadyRead handler) override { m_readyRead = std::move(handler); }

  private:
    QSerialPort m_port;
    int m_baud = 9600;
    ReadyRead m_readyRead;
};

}  // namespace etc::qtio
