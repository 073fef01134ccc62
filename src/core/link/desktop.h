// The desktop shell as the core sees it.
#pragma once

#include <string>

namespace etc::link {

class Desktop {
  public:
    virtual ~Desktop() = default;
    // Opens a document with its associated program. False when the file does not exist.
    [[nodiscard]] virtual bool openDocument(const std::string& path) = 0;
    [[nodiscard]] virtual bool fileExists(const std::string& path) const = 0;
};

}  // namespace etc::link
