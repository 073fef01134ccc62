#include "sim/simulated_port.h"

#include <algorithm>

namespace etc::sim {

SimulatedPort::SimulatedPort(link::TimerService& timers, Module& module, std::vector<std::string> names)
    : m_timers(timers), m_module(module), m_names(std::move(names)) {
    m_module.setLineOutput([this](std::span<const std::uint8_t> bytes, int baud) { arrive(bytes, baud); });
    m_module.setUnplugHandler([this] { m_unplugged = true; });
}

SimulatedPort::~SimulatedPort() {
    m_module.setLineOutput(nullptr);
    m_module.setUnplugHandler(nullptr);
}

std::optional<std::string> SimulatedPort::open(const std::string& name) {
    if (m_open)
        return std::string(kAlreadyOpenText);
    if (m_unplugged || std::find(m_names.begin(), m_names.end(), name) == m_names.end())
        return std::string(kNoSuchPortText);
    if (m_openFails)
        return std::string(kPortBusyText);
    m_open = true;
    m_name = name;
    m_input.clear();
    return std::nullopt;
}

void SimulatedPort::close() {
    m_open = false;
    m_input.clear();
}

bool SimulatedPort::write(std::span<const std::uint8_t> bytes) {
    if (!m_open || m_writeFails || m_unplugged)
        return false;
    m_writes.push_back({m_timers.now(), m_baud, {bytes.begin(), bytes.end()}});
    m_module.receive(bytes, m_baud);
    return !m_unplugged;
}

bool SimulatedPort::read(std::size_t n, std::vector<std::uint8_t>& into) {
    if (!m_open || m_readFails)
        return false;
    const auto count = static_cast<std::ptrdiff_t>(std::min(n, m_input.size()));
    into.insert(into.end(), m_input.begin(), m_input.begin() + count);
    m_input.erase(m_input.begin(), m_input.begin() + count);
    return true;
}

void SimulatedPort::unplug() {
    m_unplugged = true;
    m_input.clear();
}

void SimulatedPort::replug() {
    m_unplugged = false;
    m_module.replug();
}

void SimulatedPort::arrive(std::span<const std::uint8_t> bytes, int baud) {
    if (!m_open || m_unplugged)
        return;
    if (baud == m_baud)
        m_input.insert(m_input.end(), bytes.begin(), bytes.end());
    else
        m_input.insert(m_input.end(), bytes.size(), std::uint8_t{0xFF});
    if (m_readyRead)
        m_readyRead(m_input.size());
}

}  // namespace etc::sim
