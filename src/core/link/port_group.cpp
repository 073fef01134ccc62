#include "link/port_group.h"

#include <filesystem>

#include "link/com_ini.h"

namespace etc::link {

std::vector<std::string> windowsPortList() {
    std::vector<std::string> ports;
    for (int i = 1; i <= 20; ++i)
        ports.push_back("COM" + std::to_string(i));
    return ports;
}

namespace {
std::string inDir(const std::string& dir, const char* name) {
    return (std::filesystem::path(dir) / name).string();
}
}  // namespace

PortGroup::PortGroup(RequestEngine& engine, Prompter& prompter, Desktop& desktop, std::string programDir,
                     std::vector<std::string> portList)
    : m_engine(engine),
      m_prompter(prompter),
      m_desktop(desktop),
      m_dir(std::move(programDir)),
      m_ports(std::move(portList)) {
    if (m_ports.size() > 20)
        m_ports.resize(20);
    auto& hooks = m_engine.hooks();
    hooks.portProbe = [this] { probe(); };
    hooks.probeAnswered = [this](const std::string& version) { probeAnswered(version); };
    // The engine gave up on a port that opened but never answered: try the next one.
    hooks.probeGaveUp = [this] {
        if (m_searching)
            passOver();
    };
}

void PortGroup::usePortName(const std::string& name) {
    m_engine.setPortName(name);
    m_edit = name;
    m_buttonCaption = name;
    notify();
}

std::string PortGroup::readPortSetting(const std::vector<std::string>& args) {
    const std::string name = resolvePortName(inDir(m_dir, text::kComIniName), args);
    m_engine.setPortName(name);
    m_edit = name;
    m_buttonCaption = name;
    notify();
    return name;
}

void PortGroup::autoSearch() {
    m_secondPass = true;
    m_index = 0;
    m_searching = true;
    notify();
    // While the tool polls, a poll would take the place of the probe: the search talks alone.
    m_engine.stopPolling();
    m_engine.schedule(step::kPortProbe);
}

void PortGroup::probe() {
    if (m_ports.empty()) {
        passOver();
        return;
    }
    SerialPort& port = m_engine.port();
    // The module answers the version query only at 9600 baud; after a connect the port is at 115200,
    // where a probe could never be answered.
    m_engine.setBaudRate(kSlowBaud);
    if (!port.isOpen()) {
        // The probe names the port directly; the stored port name stays as it is until "Save".
        if (port.open(m_ports[static_cast<std::size_t>(m_index)])) {
            m_engine.stopPolling();
            m_engine.sequenceTimer().stop();
            m_engine.stepTimer().stop();
            m_engine.goOffline();
            passOver();
            return;
        }
    }
    m_engine.sendProbe();
}

void PortGroup::passOver() {
    ++m_index;
    if (m_index < static_cast<int>(m_ports.size())) {
        m_engine.schedule(step::kPortProbe);
    } else if (m_secondPass) {
        m_secondPass = false;
        m_index = 0;
        m_engine.schedule(step::kPortProbe);
    } else {
        m_searching = false;
        notify();
        (void)m_prompter.message(MessageKind::Warning, text::kNoPortFound);
    }
}

void PortGroup::probeAnswered(const std::string& version) {
    if (versionFound)
        versionFound(version);
    if (m_index < static_cast<int>(m_ports.size()))
        m_edit = m_ports[static_cast<std::size_t>(m_index)];
    m_searching = false;
    notify();
}

void PortGroup::showManualSelect() {
    m_manualShown = true;
    notify();
}

void PortGroup::manualOk(int index) {
    if (index >= 0 && index < static_cast<int>(m_ports.size()))
        m_edit = m_ports[static_cast<std::size_t>(index)];
    m_manualShown = false;
    notify();
}

void PortGroup::manualCancel() {
    m_manualShown = false;
    notify();
}

void PortGroup::openDeviceManager() {
    if (!m_desktop.openDocument(inDir(m_dir, text::kComViewName)))
        (void)m_prompter.message(MessageKind::Information, text::kComViewMissing);
}

bool PortGroup::save() {
    if (m_edit.empty()) {
        (void)m_prompter.message(MessageKind::Warning, text::kChoosePortFirst);
        return false;
    }
    if (writeComIni(inDir(m_dir, text::kComIniName), m_edit)) {
        m_engine.setPortName(m_edit);
    } else {
        (void)m_prompter.message(MessageKind::Information, text::kComIniWriteError);
    }
    return true;
}

}  // namespace etc::link
