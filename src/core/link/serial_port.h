// The serial port as the request engine sees it. Implementations: the QSerialPort adapter and the
// in-process link to the simulated module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace etc::link {

class SerialPort {
  public:
    // Called on the event loop with the number of bytes waiting in the input queue.
    using ReadyRead = std::function<void(std::size_t available)>;

    virtual ~SerialPort() = default;

    // Opens the named port at the current line speed, 8N1, no flow control, DTR and RTS inactive.
    // Returns nothing on success, otherwise the port's own error text.
    [[nodiscard]] virtual std::optional<std::string> open(const std::string& name) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;
    // Takes effect at once when open, otherwise on the next open.
    virtual void setBaudRate(int baud) = 0;
    [[nodiscard]] virtual int baudRate() const = 0;
    // Blocking write, bounded by 2000 ms plus 100 ms per byte. False when the write failed.
    [[nodiscard]] virtual bool write(std::span<const std::uint8_t> bytes) = 0;
    // Appends up to n bytes from the input queue to `into`. False when reading failed.
    [[nodiscard]] virtual bool read(std::size_t n, std::vector<std::uint8_t>& into) = 0;
    [[nodiscard]] virtual std::size_t bytesAvailable() const = 0;
    // Empties the input and output queues.
    virtual void purge() = 0;
    virtual void setReadyRead(ReadyRead handler) = 0;
};

}  // namespace etc::link
