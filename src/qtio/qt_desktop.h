// The desktop shell on QDesktopServices: documents open with the program the system associates.
#pragma once

#include "link/desktop.h"

namespace etc::qtio {

class QtDesktop final : public link::Desktop {
  public:
    // False when the file does not exist; a file that exists is handed to the shell.
    [[nodiscard]] bool openDocument(const std::string& path) override;
    [[nodiscard]] bool fileExists(const std::string& path) const override;
};

}  // namespace etc::qtio
