// An in-process serial port wired to a simulated module: what the request engine writes goes to the
// module at the port's line speed; the module's answers arrive in the input queue at their wire time,
// and ReadyRead is called from that timer tick, never from inside write().
//
// An answer sent at one line speed and arriving while the port is set to another is garbage on a real
// line: it arrives as the same number of 0xFF bytes.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "link/serial_port.h"
#include "link/timer.h"
#include "sim/module.h"

namespace etc::sim {

// Error texts the port gives, in the words a serial driver uses.
inline constexpr const char* kNoSuchPortText = "No such file or directory";
inline constexpr const char* kPortBusyText = "Permission denied";
inline constexpr const char* kAlreadyOpenText = "Device is already open";

struct WriteRecord {
    link::Duration at;
    int baud;
    std::vector<std::uint8_t> bytes;
};

class SimulatedPort : public link::SerialPort {
  public:
    SimulatedPort(link::TimerService& timers, Module& module, std::vector<std::string> names = {"SIM"});
    ~SimulatedPort() override;
    SimulatedPort(const SimulatedPort&) = delete;
    SimulatedPort& operator=(const SimulatedPort&) = delete;

    // Fails with kNoSuchPortText for names not in the list and while unplugged, kPortBusyText while
    // setOpenFails(true), kAlreadyOpenText when open.
    [[nodiscard]] std::optional<std::string> open(const std::string& name) override;
    // Bytes waiting in the input queue are discarded; answers still on the wire are lost on arrival.
    void close() override;
    [[nodiscard]] bool isOpen() const override { return m_open; }
    void setBaudRate(int baud) override { m_baud = baud; }
    [[nodiscard]] int baudRate() const override { return m_baud; }
    // False when closed, while setWriteFails(true) or unplugged. A write that runs into an unplug fault
    // fails too: its bytes never reach the module.
    [[nodiscard]] bool write(std::span<const std::uint8_t> bytes) override;
    [[nodiscard]] bool read(std::size_t n, std::vector<std::uint8_t>& into) override;
    [[nodiscard]] std::size_t bytesAvailable() const override { return m_input.size(); }
    // Empties the input queue; answers still on the wire arrive later, as on a real port.
    void purge() override { m_input.clear(); }
    void setReadyRead(ReadyRead handler) override { m_readyRead = std::move(handler); }

    void setOpenFails(bool fails) { m_openFails = fails; }
    void setWriteFails(bool fails) { m_writeFails = fails; }
    void setReadFails(bool fails) { m_readFails = fails; }
    // The cable is pulled: writes and opens fail, nothing more arrives. replug() puts it back.
    void unplug();
    void replug();
    [[nodiscard]] bool unplugged() const { return m_unplugged; }

    [[nodiscard]] const std::string& openedName() const { return m_name; }
    // Every write that reached the line, with its time and line speed.
    [[nodiscard]] const std::vector<WriteRecord>& writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }

  private:
    void arrive(std::span<const std::uint8_t> bytes, int baud);

    link::TimerService& m_timers;
    Module& m_module;
    std::vector<std::string> m_names;
    std::string m_name;
    bool m_open = false;
    int m_baud = kLowSpeed;
    bool m_openFails = false;
    bool m_writeFails = false;
    bool m_readFails = false;
    bool m_unplugged = false;
    std::deque<std::uint8_t> m_input;
    ReadyRead m_readyRead;
    std::vector<WriteRecord> m_writes;
};

}  // namespace etc::sim
