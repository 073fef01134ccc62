// Version texts: which modules the tool works with, which settings blocks they have, whether a
// module is newer than the tool, and whether settings fit the module they are written into.
//
// A version text has nine characters: family (1..3, the second being the system type, "E" for ETC),
// level (4..6) and three further characters that are not compared. Texts shorter than nine characters
// compare as if padded with zero bytes.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "link/prompter.h"

namespace etc::settings {

inline constexpr std::string_view kToolVersion = "1EA1AB1AA";
// Modules from this level on have the open-loop idle table and its start value.
inline constexpr std::string_view kIdleBlocksPattern = "1EA1AB   ";

namespace text {
inline constexpr const char* kNewerModule =
    "ECU is newer then the PC software\n\rPlease download newer OXT PC software";
inline constexpr const char* kMismatchReminder =
    "After downloading, upload data (System -> PC)\r\r\nand check all settings for correct values!!!";
}  // namespace text

// Character by character against the pattern; a blank in the pattern ends the comparison.
[[nodiscard]] bool versionAtLeast(std::string_view text, std::string_view pattern);
[[nodiscard]] inline bool hasIdleBlocks(std::string_view text) {
    return versionAtLeast(text, kIdleBlocksPattern);
}
[[nodiscard]] bool familySupported(std::string_view text);
[[nodiscard]] bool unsupportedEtc(std::string_view text);
[[nodiscard]] bool newerThanTool(std::string_view text);

// The message texts, built from their parts exactly as the tool shows them.
[[nodiscard]] std::string unsupportedVersionText(std::string_view version, std::string_view serial);
[[nodiscard]] std::string notEtcText(std::string_view version);
[[nodiscard]] std::string mismatchText(std::string_view held, std::string_view module);
[[nodiscard]] std::string downloadUnsupportedText(std::string_view module);
[[nodiscard]] std::string downloadNotEtcText(std::string_view module);

// The checks that show messages. The caller gives what they act on: `fillBlockMap` sets the block
// map for a supported family (it is never emptied again); `refuse` stops polling and hides the
// progress panel; `enableMainButtons` runs when a mismatch is cancelled.
class VersionRules {
  public:
    explicit VersionRules(link::Prompter& prompter);

    std::function<void()> fillBlockMap;
    std::function<void()> refuse;
    std::function<void()> enableMainButtons;

    // The version text the tool works with: its own until a module or a file gives another.
    [[nodiscard]] const std::string& held() const { return m_held; }
    void setHeld(std::string text) { m_held = std::move(text); }
    [[nodiscard]] const std::string& serial() const { return m_serial; }
    void setSerial(std::string serial) { m_serial = std::move(serial); }

    // Fills the block map for a supported family; otherwise refuses with its message.
    void versionCheck(std::string_view text);
    enum class NewerForm { Ok, CancelIgnore };
    // Asks only when the held version text is newer than the tool. True: the action goes on.
    [[nodiscard]] bool newerQuestion(NewerForm form);
    // The check of the module's "V" reply at the start of a download. True: the download goes on.
    [[nodiscard]] bool downloadVersionCheck(std::string_view module);

  private:
    link::Prompter& m_prompter;
    std::string m_held{kToolVersion};
    std::string m_serial;
};

}  // namespace etc::settings
