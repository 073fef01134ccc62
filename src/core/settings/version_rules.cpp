#include "settings/version_rules.h"

namespace etc::settings {

namespace {

// Character i (from 0) as a byte; beyond the end of the text a zero byte.
unsigned char at(std::string_view text, std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

int compareRange(std::string_view text, std::string_view other, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i) {
        if (at(text, i) != at(other, i))
            return at(text, i) < at(other, i) ? -1 : 1;
    }
    return 0;
}

std::string family(std::string_view text) {
    std::string f;
    for (std::size_t i = 0; i < 3; ++i)
        f += static_cast<char>(at(text, i));
    return f;
}

const char* kindName(unsigned char system, bool download) {
    switch (system) {
        case 'I':
            return "Ignition";
        case 'F':
            return download ? "Fuel" : "Fuel injection";
        case 'M':
            return download ? "correct" : "Motormanagement";
        default:
            return "correct";
    }
}

}  // namespace

bool versionAtLeast(std::string_view text, std::string_view pattern) {
    for (std::size_t i = 0; i < 9; ++i) {
        const unsigned char p = at(pattern, i);
        if (p == ' ')
            return true;
        const unsigned char t = at(text, i);
        if (t > p)
            return true;
        if (t < p)
            return false;
    }
    return true;
}

bool familySupported(std::string_view text) {
    const std::string f = family(text);
    return f == "1EA" || f == "4EA";
}

bool unsupportedEtc(std::string_view text) {
    return !familySupported(text) && at(text, 1) == 'E';
}

bool newerThanTool(std::string_view text) {
    return compareRange(text, kToolVersion, 0, 3) >= 0 && compareRange(text, kToolVersion, 3, 3) > 0;
}

std::string unsupportedVersionText(std::string_view version, std::string_view serial) {
    return "This Version nr : " + std::string(version) + "With Serialnumber : " + std::string(serial) +
           "\r\r\nis not supported by this software \r\r\nCall your Software supplier for information !!!";
}

std::string notEtcText(std::string_view version) {
    return std::string("This software is for ETC systems only\r\r\nCall your Software supplier for the ") +
           kindName(at(version, 1), false) + " version !!!";
}

std::string mismatchText(std::string_view held, std::string_view module) {
    return "The file does not match the current system!!!\r\r\nFile version nr  : " + std::string(held) +
           "\r\r\nSystem version nr: " + std::string(module);
}

std::string downloadUnsupportedText(std::string_view module) {
    return "This Version nr : " + std::string(module) +
           "\r\r\nis not supported by this software \r\r\nCall your Software supplier for information !!!";
}

std::string downloadNotEtcText(std::string_view module) {
    return std::string(
               "This software is for E-Gas management systems only\r\r\nCall your Software supplier for "
               "the ") +
           kindName(at(module, 1), true) + " version !!!";
}

VersionRules::VersionRules(link::Prompter& prompter) : m_prompter(prompter) {}

void VersionRules::versionCheck(std::string_view text) {
    if (familySupported(text)) {
        if (fillBlockMap)
            fillBlockMap();
        return;
    }
    if (refuse)
        refuse();
    if (unsupportedEtc(text)) {
        (void)m_prompter.message(link::MessageKind::Warning, unsupportedVersionText(text, m_serial));
    } else {
        (void)m_prompter.message(link::MessageKind::Warning, notEtcText(text));
    }
}

bool VersionRules::newerQuestion(NewerForm form) {
    if (!newerThanTool(m_held))
        return true;
    if (form == NewerForm::Ok) {
        return m_prompter.message(link::MessageKind::Information, text::kNewerModule, link::ButtonSet::Ok) !=
               link::Button::Ok;
    }
    return m_prompter.message(link::MessageKind::Information, text::kNewerModule,
                              link::ButtonSet::CancelIgnore) == link::Button::Ignore;
}

bool VersionRules::downloadVersionCheck(std::string_view module) {
    if (familySupported(module)) {
        if (m_held != module) {
            const auto answer = m_prompter.message(link::MessageKind::Warning, mismatchText(m_held, module),
                                                   link::ButtonSet::CancelIgnore);
            if (answer != link::Button::Ignore) {
                if (refuse)
                    refuse();
                if (enableMainButtons)
                    enableMainButtons();
                return false;
            }
            (void)m_prompter.message(link::MessageKind::Warning, text::kMismatchReminder);
        }
        return true;
    }
    if (refuse)
        refuse();
    if (unsupportedEtc(module)) {
        (void)m_prompter.message(link::MessageKind::Warning, downloadUnsupportedText(module));
    } else {
        (void)m_prompter.message(link::MessageKind::Warning, downloadNotEtcText(module));
    }
    return false;
}

}  // namespace etc::settings
