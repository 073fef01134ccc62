// The open and save file dialogs as the core sees them. Nothing: the dialog was cancelled.
#pragma once

#include <optional>
#include <string>

namespace etc::link {

struct FileDialogRequest {
    std::string title;
    std::string filter;  // "Name (*.ext)|*.ext", one entry
    std::string defaultExtension;
    std::string directory;
    std::string fileName;           // the start name of a save dialog
    bool confirmOverwrite = false;  // the save dialog asks before replacing a file
};

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    [[nodiscard]] virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
    [[nodiscard]] virtual std::optional<std::string> saveFile(const FileDialogRequest& request) = 0;
};

}  // namespace etc::link
