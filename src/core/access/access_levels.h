// User levels and passwords. The module keeps the passwords and the levels and checks them; the tool
// asks, shows the level the module reports and leads the user through the password box.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "app/main_window_state.h"
#include "link/prompter.h"
#include "link/request_engine.h"

namespace etc::settings {
class Upload;
class VersionRules;
}  // namespace etc::settings

namespace etc::access {

namespace text {
inline constexpr const char* kMasterLabelInitial = "niet zichtbaar :";
inline constexpr const char* kLevelPrefix = "Level ";
inline constexpr const char* kOnlyOnline = "Only possible when Communication is ONLINE";
inline constexpr const char* kEnterMasterCaption = "Enter Master Password";
inline constexpr const char* kEnterMasterPrompt = "Enter Master Password :";
inline constexpr const char* kChangeLevelCaption = "Change user acces level";
inline constexpr const char* kEnterUserPrompt = "Enter User Password :";
inline constexpr const char* kChangePasswordCaption = "Change user password";
inline constexpr const char* kEnterOldPrompt = "Enter Old Password :";
inline constexpr const char* kEnterNewPrompt = "Enter New Password :";
inline constexpr const char* kReenterNewPrompt = "Re-enter New Password :";
inline constexpr const char* kEmptyPassword = "Password can't be empty\r\r\nPlease try again";
inline constexpr const char* kNewPasswordMismatch = "New Password is not correct !!!\r\r\nPlease try again";
inline constexpr const char* kWrongPassword = "Password is not correct !!!\r\r\nPlease try again";
inline constexpr const char* kPasswordNotTransmitted =
    "Password is transmitted not correctly !!!\r\r\nPlease try again";
inline constexpr const char* kLevelRefused = "Changing Settings is not possible !!!";
inline constexpr const char* kUserPasswordIsSet = "User password is set to: ";
inline constexpr const char* kResetUserPassword = "JQW";
}  // namespace text

inline constexpr std::size_t kPasswordLength = 10;
// The password on the wire: the typed characters, then '0' up to ten.
[[nodiscard]] std::string paddedPassword(const std::string& typed);

struct PasswordBox {
    bool shown = false;
    std::string caption;
    std::string prompt;
    std::string input;  // at most ten characters, shown masked
    bool inputShown = true;
    bool levelChoicesShown = false;
    bool resetLabelsShown = false;
    bool cancelShown = true;
};

class AccessLevels {
  public:
    AccessLevels(link::RequestEngine& engine, app::MainWindowState& window, settings::Upload& upload,
                 settings::VersionRules& versions, link::Prompter& prompter);

    // --- State shown ---
    [[nodiscard]] const std::string& masterLabel() const { return m_masterLabel; }
    [[nodiscard]] int masterLevel() const;
    [[nodiscard]] int levelChoice() const { return m_choice; }  // 1..4
    [[nodiscard]] bool choiceEnabled(int level) const {
        return m_enabled.at(static_cast<std::size_t>(level - 1));
    }
    [[nodiscard]] const std::string& levelCaption() const { return m_caption; }
    [[nodiscard]] bool groupShown() const { return m_groupShown; }
    [[nodiscard]] const PasswordBox& box() const { return m_box; }

    // --- Actions ---
    void openLevelDialog();
    void closeLevelDialog();
    void enterMasterPassword();
    void changeLevel();
    void changeUserPassword();
    void setInput(std::string text);
    void chooseLevel(int level);
    void ok();
    void cancel();

    // The module's replies (from the engine).
    void onLevels(int master, int user);
    void onAnswer(char letter, bool ok);

    std::function<void()> changed;

  private:
    void openBox(const char* caption, const char* prompt);
    void applyLevelOne();
    void beginRequest();
    void notify() {
        if (changed)
            changed();
    }

    link::RequestEngine& m_engine;
    app::MainWindowState& m_window;
    settings::Upload& m_upload;
    settings::VersionRules& m_versions;
    link::Prompter& m_prompter;
    std::string m_masterLabel = text::kMasterLabelInitial;
    int m_choice = 1;
    std::array<bool, 4> m_enabled{true, true, true, true};
    std::string m_caption = std::string(text::kLevelPrefix) + "1";
    bool m_groupShown = false;
    PasswordBox m_box;
    std::string m_remembered;
};

}  // namespace etc::access
