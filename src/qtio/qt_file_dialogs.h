// The open and save file dialogs on QFileDialog.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "link/file_dialogs.h"

class QWidget;

namespace etc::qtio {

class QtFileDialogs final : public link::FileDialogs {
  public:
    explicit QtFileDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    [[nodiscard]] std::optional<std::string> openFile(const link::FileDialogRequest& request) override;
    [[nodiscard]] std::optional<std::string> saveFile(const link::FileDialogRequest& request) override;

  private:
    std::optional<std::string> run(const link::FileDialogRequest& request, bool save);

    QWidget* m_parent;
};

// The tool's filters are "Name (*.ext)|*.ext", pairs of a name and its patterns separated by "|".
// Qt wants "Name (*.ext)" entries separated by ";;". A name without its patterns in brackets gets
// them appended; several patterns ("*.a;*.b") are separated by blanks.
[[nodiscard]] QString qtNameFilter(const std::string& filter);
// The default extension without its dot: "e00" for ".e00" or "e00".
[[nodiscard]] QString qtDefaultSuffix(const std::string& extension);

}  // namespace etc::qtio
