#include "qtio/qt_port_list.h"

#include <QSerialPortInfo>
#include <algorithm>

#include "link/port_group.h"

namespace etc::qtio {

namespace {
constexpr std::size_t kMaxPorts = 20;

bool isUsbOrAcm(const SystemPort& port) {
    const auto has = [&port](const char* word) {
        return port.name.find(word) != std::string::npos || port.description.find(word) != std::string::npos;
    };
    return has("USB") || has("ACM") || has("usb") || has("acm");
}
}  // namespace

std::vector<std::string> orderPortList(const std::vector<SystemPort>& ports) {
    std::vector<SystemPort> ordered = ports;
    std::stable_partition(ordered.begin(), ordered.end(), isUsbOrAcm);
    std::vector<std::string> names;
    for (const auto& port : ordered) {
        if (names.size() == kMaxPorts)
            break;
        names.push_back(port.name);
    }
    return names;
}

std::vector<std::string> systemPortList() {
#ifdef Q_OS_WIN
    return link::windowsPortList();
#else
    std::vector<SystemPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back({info.systemLocation().toStdString(), info.description().toStdString()});
    return orderPortList(ports);
#endif
}

}  // namespace etc::qtio
