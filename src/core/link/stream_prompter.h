// A prompter for programs without windows: every message goes to a stream as one line per text line,
// and questions get a fixed answer chosen by the program.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "link/prompter.h"

namespace etc::link {

class StreamPrompter final : public Prompter {
  public:
    explicit StreamPrompter(std::ostream& out) : m_out(out) {}

    // The answer to Cancel/Ignore questions (default Cancel) and Yes/No questions (default No).
    void setAnswers(Button cancelIgnore, Button yesNo) {
        m_cancelIgnore = cancelIgnore;
        m_yesNo = yesNo;
    }
    // Decides the answer by the message, before the defaults apply (nothing: use the default).
    std::function<std::optional<Button>(const std::string& text, ButtonSet buttons)> answer;

    Button message(MessageKind kind, const std::string& text, ButtonSet buttons) override;

    [[nodiscard]] int count() const { return m_count; }
    [[nodiscard]] const std::string& last() const { return m_last; }

  private:
    std::ostream& m_out;
    Button m_cancelIgnore = Button::Cancel;
    Button m_yesNo = Button::No;
    int m_count = 0;
    std::string m_last;
};

// The message text as it reads on a terminal: "\r\n", "\n\r" and "\r\r\n" become one line break.
[[nodiscard]] std::string plainLines(const std::string& text);

}  // namespace etc::link
