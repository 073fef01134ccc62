// Message boxes as the core sees them. In the real program a box runs a nested event loop: timers
// and serial input go on being handled while it is open.
#pragma once

#include <string>

namespace etc::link {

enum class MessageKind { Error, Warning, Information };
enum class ButtonSet { Ok, YesNo, CancelIgnore };
enum class Button { Ok, Yes, No, Cancel, Ignore };

class Prompter {
  public:
    virtual ~Prompter() = default;
    virtual Button message(MessageKind kind, const std::string& text, ButtonSet buttons = ButtonSet::Ok) = 0;
};

}  // namespace etc::link
