// Serves a simulated module on a pseudo-terminal, so that the tool (or any program) can open the slave
// device as if it were a serial port.
//
// The host keeps its own descriptor on the slave open: the master then does not see end-of-file or EIO
// when the tool closes the port, and the host can read the line speed the tool set on the slave, which
// the module needs to decide whether it hears a request. Bytes read from the master go to the module at
// that speed; the module's answers are written to the master at their wire time.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "link/codec.h"
#include "sim/module.h"

namespace etc::qtio {

class PtyHost final : public QObject {
    Q_OBJECT
  public:
    explicit PtyHost(sim::Module& module, QObject* parent = nullptr);
    ~PtyHost() override;
    PtyHost(const PtyHost&) = delete;
    PtyHost& operator=(const PtyHost&) = delete;

    // Creates the pseudo-terminal with the slave in raw mode at 9600 baud. The error text on failure.
    [[nodiscard]] std::optional<std::string> open();
    // Closes both ends; the slave device disappears. Used for an unplug fault too.
    void close();
    [[nodiscard]] bool isOpen() const { return m_master >= 0; }
    // The slave device path (for example /dev/pts/3), empty before open().
    [[nodiscard]] const std::string& devicePath() const { return m_path; }
    // The output speed currently set on the slave, in baud; 0 when it is not a known speed.
    [[nodiscard]] int lineSpeed() const;

  signals:
    // The module's unplug fault struck; the pseudo-terminal is closed.
    void unplugged();

  private:
    void onReadable();
    void onWritable();
    void output(std::span<const std::uint8_t> bytes);
    void flush();

    sim::Module& m_module;
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    // Answer bytes the pseudo-terminal could not take yet (its buffer fills while nobody reads the
    // slave); capped so a tool that never reads cannot make the host grow without bound.
    link::Bytes m_backlog;
    bool m_pulled = false;  // an unplug fault struck; closing follows from the event loop
};

}  // namespace etc::qtio
