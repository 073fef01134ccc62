// The port names the port search and the manual list offer.
#pragma once

#include <string>
#include <vector>

namespace etc::qtio {

struct SystemPort {
    std::string name;         // what the port adapter opens ("ttyUSB0", "COM3")
    std::string description;  // the driver's description, possibly empty
};

// Orders the system's ports for the search: USB and ACM adapters first (the module hangs on a
// USB-to-serial adapter), each group in the order given; at most 20.
[[nodiscard]] std::vector<std::string> orderPortList(const std::vector<SystemPort>& ports);

// On Windows "COM1".."COM20"; elsewhere the system's serial ports as QSerialPortInfo reports them,
// ordered by orderPortList.
[[nodiscard]] std::vector<std::string> systemPortList();

}  // namespace etc::qtio
