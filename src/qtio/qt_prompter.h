// Message boxes on QMessageBox: the core's kind, exact text and button set, answered by the user in a
// modal box. The box runs a nested event loop, so timers and serial input go on while it is open.
#pragma once

#include <QString>
#include <string>

#include "link/prompter.h"

class QWidget;

namespace etc::qtio {

class QtPrompter final : public link::Prompter {
  public:
    // The boxes are centred on `parent` when it is given (and shown).
    explicit QtPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    link::Button message(link::MessageKind kind, const std::string& text, link::ButtonSet buttons) override;

  private:
    QWidget* m_parent;
};

// The tool's texts break lines with "\r\n" (and "\r\r\n"); a Qt label wants "\n".
[[nodiscard]] QString messageBoxText(const std::string& text);
// Box titles per kind: "Error", "Warning", "Information".
[[nodiscard]] QString messageBoxTitle(link::MessageKind kind);

}  // namespace etc::qtio
