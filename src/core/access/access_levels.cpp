#include "access/access_levels.h"

#include <algorithm>

#include "settings/upload.h"
#include "settings/version_rules.h"

namespace etc::access {

std::string paddedPassword(const std::string& typed) {
    std::string p = typed.substr(0, kPasswordLength);
    p.resize(kPasswordLength, '0');
    return p;
}

AccessLevels::AccessLevels(link::RequestEngine& engine, app::MainWindowState& window,
                           settings::Upload& upload, settings::VersionRules& versions,
                           link::Prompter& prompter)
    : m_engine(engine), m_window(window), m_upload(upload), m_versions(versions), m_prompter(prompter) {
    auto& hooks = m_engine.hooks();
    hooks.accessLevels = [this](int master, int user) { onLevels(master, user); };
    hooks.answer = [this](char letter, bool accepted) { onAnswer(letter, accepted); };
    hooks.chosenLevels = [this] { return std::pair<int, int>{masterLevel(), m_choice}; };
    hooks.paddedPassword = [this] { return paddedPassword(m_box.input); };
}

int AccessLevels::masterLevel() const {
    try {
        return std::stoi(m_masterLabel);
    } catch (...) {
        return 0;
    }
}

void AccessLevels::onLevels(int master, int user) {
    m_masterLabel = std::to_string(master);
    m_choice = std::clamp(user, 1, 4);
    m_caption = text::kLevelPrefix + std::to_string(user);
    m_enabled = {true, true, true, true};
    if (master >= 1 && master <= 3) {
        for (int level = master + 1; level <= 4; ++level)
            m_enabled[static_cast<std::size_t>(level - 1)] = false;
    }
    notify();
    if (user <= 1) {
        applyLevelOne();
        m_engine.schedule(link::step::kPoll);
        return;
    }
    m_upload.startBlockReads();
}

void AccessLevels::applyLevelOne() {
    m_window.mainButtonsEnabled = false;
    m_window.optionsButtonEnabled = true;
    m_window.mapPanelsShown = false;
    m_window.idlePanelShown = false;
    m_window.progress.shown = false;
    m_window.notify();
}

void AccessLevels::openLevelDialog() {
    if (!(m_engine.online() && m_engine.port().isOpen())) {
        (void)m_prompter.message(link::MessageKind::Warning, text::kOnlyOnline);
        return;
    }
    m_groupShown = true;
    notify();
}

void AccessLevels::closeLevelDialog() {
    m_groupShown = false;
    m_box.shown = false;
    notify();
}

void AccessLevels::openBox(const char* caption, const char* prompt) {
    m_box.shown = true;
    m_box.caption = caption;
    m_box.prompt = prompt;
    m_box.resetLabelsShown = false;
    m_box.levelChoicesShown = false;
    m_box.cancelShown = true;
    m_box.input.clear();
    m_box.inputShown = true;
    notify();
}

void AccessLevels::enterMasterPassword() {
    openBox(text::kEnterMasterCaption, text::kEnterMasterPrompt);
}
void AccessLevels::changeLevel() {
    openBox(text::kChangeLevelCaption, text::kEnterUserPrompt);
}
void AccessLevels::changeUserPassword() {
    openBox(text::kChangePasswordCaption, text::kEnterOldPrompt);
}

void AccessLevels::setInput(std::string typed) {
    if (typed.size() > kPasswordLength)
        typed.resize(kPasswordLength);
    m_box.input = std::move(typed);
}

void AccessLevels::chooseLevel(int level) {
    if (level >= 1 && level <= 4 && choiceEnabled(level))
        m_choice = level;
    notify();
}

void AccessLevels::ok() {
    if (m_box.resetLabelsShown) {
        m_box.shown = false;
        m_box.cancelShown = true;
        m_box.resetLabelsShown = false;
        notify();
        return;
    }
    if (m_box.levelChoicesShown && m_box.caption == text::kChangeLevelCaption) {
        beginRequest();
        m_engine.sendSetAccessLevel();
        return;
    }
    if (m_box.input.empty()) {
        (void)m_prompter.message(link::MessageKind::Warning, text::kEmptyPassword);
        m_box.input.clear();
        notify();
        return;
    }
    const std::string& prompt = m_box.prompt;
    if (prompt == text::kEnterMasterPrompt || prompt == text::kEnterUserPrompt ||
        prompt == text::kEnterOldPrompt) {
        beginRequest();
        m_engine.sendPassword('p');
    } else if (prompt == text::kEnterNewPrompt) {
        m_remembered = m_box.input;
        m_box.input.clear();
        m_box.prompt = text::kReenterNewPrompt;
        notify();
    } else if (prompt == text::kReenterNewPrompt) {
        if (m_box.input != m_remembered) {
            (void)m_prompter.message(link::MessageKind::Warning, text::kNewPasswordMismatch);
            m_box.input.clear();
            m_box.prompt = text::kEnterNewPrompt;
            notify();
            return;
        }
        beginRequest();
        m_engine.sendPassword('P');
    }
}

void AccessLevels::beginRequest() {
    // No poll may take the place of the request while its reply is awaited. The request starts a new
    // conversation, so input is read again even after a refusal stopped polling.
    m_engine.pollTimer().stop();
    m_engine.clearReceiveBlock();
}

void AccessLevels::cancel() {
    m_box.shown = false;
    m_groupShown = true;
    if (m_window.mapPanelsShown) {
        m_window.mainButtonsEnabled = true;
        m_window.optionsButtonEnabled = true;
        m_window.notify();
        m_engine.schedule(link::step::kPoll);
    }
    notify();
}

void AccessLevels::onAnswer(char letter, bool accepted) {
    switch (letter) {
        case 'p':
            if (!accepted) {
                m_engine.stopPolling();
                (void)m_prompter.message(link::MessageKind::Warning, text::kWrongPassword);
                m_box.input.clear();
                break;
            }
            if (m_box.caption == text::kChangePasswordCaption) {
                m_box.prompt = text::kEnterNewPrompt;
                m_box.input.clear();
            } else if (m_box.caption == text::kChangeLevelCaption) {
                m_engine.sendAccessLevelQuery();
                m_box.levelChoicesShown = true;
                m_box.inputShown = false;
            } else if (m_box.caption == text::kEnterMasterCaption) {
                m_engine.sendAccessLevelQuery();
                m_box.resetLabelsShown = true;
                m_box.levelChoicesShown = false;
                m_box.cancelShown = false;
            } else {
                m_box.shown = false;
                m_groupShown = true;
            }
            break;
        case 'P':
            if (accepted) {
                m_box.shown = false;
            } else {
                (void)m_prompter.message(link::MessageKind::Warning, text::kPasswordNotTransmitted);
                m_box.input.clear();
            }
            break;
        case 'A':
            if (!accepted) {
                m_engine.stopPolling();
                (void)m_prompter.message(link::MessageKind::Warning, text::kLevelRefused);
                break;
            }
            m_window.mainButtonsEnabled = true;
            m_window.optionsButtonEnabled = true;
            m_box.shown = false;
            m_caption = text::kLevelPrefix + std::to_string(m_choice);
            if (m_choice <= 1) {
                applyLevelOne();
                m_engine.schedule(link::step::kPoll);
            } else {
                m_engine.stopPolling();
                // A poll still scheduled must not take the place of the block reads.
                m_engine.stepTimer().stop();
                // The version check comes first: the maps and the gauge show only when the reads start.
                m_upload.startBlockReads();
                if (m_upload.state() == static_cast<int>(settings::Block::Curve1)) {
                    m_window.progress.caption = app::text::kUploading;
                    m_window.progress.shown = true;
                    m_window.notify();
                }
            }
            break;
        default:
            break;
    }
    notify();
}

}  // namespace etc::access
