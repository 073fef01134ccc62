#include "link/stream_prompter.h"

namespace etc::link {

std::string plainLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            out += c;
            continue;
        }
        // A run of CR and LF characters is one break, unless it holds two LFs (an empty line).
        std::size_t j = i;
        int lineFeeds = 0;
        while (j < text.size() && (text[j] == '\r' || text[j] == '\n'))
            lineFeeds += text[j++] == '\n';
        out.append(lineFeeds > 1 ? 2 : 1, '\n');
        i = j - 1;
    }
    return out;
}

Button StreamPrompter::message(MessageKind kind, const std::string& text, ButtonSet buttons) {
    ++m_count;
    m_last = text;
    const char* label = kind == MessageKind::Error     ? "error"
                        : kind == MessageKind::Warning ? "warning"
                                                       : "note";
    m_out << label << ": " << plainLines(text) << '\n';
    m_out.flush();
    if (answer) {
        if (const auto chosen = answer(text, buttons))
            return *chosen;
    }
    switch (buttons) {
        case ButtonSet::Ok:
            return Button::Ok;
        case ButtonSet::YesNo:
            return m_yesNo;
        case ButtonSet::CancelIgnore:
            return m_cancelIgnore;
    }
    return Button::Ok;
}

}  // namespace etc::link
