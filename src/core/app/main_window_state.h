// What the main window shows, as plain state. The core's behaviours change it; the desktop window
// renders it and `etcctl` reads it. Observers are told of every change through `changed`.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "live/dashboard.h"
#include "live/errors_window.h"

namespace etc::app {

namespace text {
inline constexpr const char* kUploading = "Up_loading";
inline constexpr const char* kDownloading = "Down_loading";
inline constexpr const char* kCaptionStart = "OXT V";
inline constexpr const char* kVersionLabel = "1.05";  // the splash dialog's `Label_versie`
inline constexpr const char* kCaptionEnd = " ETC";
inline constexpr const char* kNotLockedMark =
    "                                                DATA IS NOT LOCKED !!!";
inline constexpr const char* kLanguageIni = "Language.ini";
inline constexpr const char* kManualEnglish = "OXT ETC Manual V1.05.pdf";
inline constexpr const char* kManualDutch = "OXT ETC Handleiding V1.03.pdf";
inline constexpr const char* kCantFindLanguageIni = "Can't find: Language.ini";
inline constexpr const char* kCantFindPrefix = "Can't find:  ";
}  // namespace text

// Windows colour numbers (0x00BBGGRR) of the grids' fixed header cells.
struct HeaderGradient {
    std::uint32_t colour, mirror, mirrorTo;
};
inline constexpr HeaderGradient kHeaderNotLocked{9174014, 6414557, 3012861};  // yellow
inline constexpr HeaderGradient kHeaderLocked{15853789, 16049884, 16247261};

// The window caption: "OXT V1.05 ETC", with the data-not-locked mark behind it while set.
[[nodiscard]] inline std::string windowCaption(bool notLocked) {
    std::string caption = std::string(text::kCaptionStart) + text::kVersionLabel + text::kCaptionEnd;
    if (notLocked)
        caption += text::kNotLockedMark;
    return caption;
}

struct ProgressPanel {
    bool shown = true;  // the window starts with "Up_loading" showing
    std::string caption = text::kUploading;
    int position = 0;
    int maximum = 0;
};

struct MainWindowState {
    ProgressPanel progress;
    // Open file, Save file, Options and the up/down-load command.
    bool mainButtonsEnabled = false;
    // At user level 1 the toolbar is disabled except for Options.
    bool optionsButtonEnabled = false;
    // The map panels: both response curves and the throttle limit; the open-loop idle panel.
    bool mapPanelsShown = true;
    bool idlePanelShown = true;
    // The up/download menu "Up / Down load" and which of its rows show.
    bool upDownMenuShown = false;
    enum class MenuForm {
        Command,      // F7: Upload, Download, Lock and "&Cancel"
        GoingOnline,  // dashboard click or F10: Upload, Download and "Stay Offline"
        FileLoaded,   // after a settings file was opened: Upload, Download, Lock and "Stay Offline"
    };
    MenuForm upDownMenuForm = MenuForm::Command;
    // The dashboard at the bottom of the window and the errors and warnings window, both fed by the
    // live frames.
    live::Dashboard dashboard;
    live::ErrorsWindow errors;
    // The main-window tables with the response-type and acc-limiter inputs accept edits.
    bool tablesEnabled = true;
    // The Cancel buttons of the seven Options settings groups.
    bool optionsCancelEnabled = true;
    // The Options window, its menu and its port group "Communicationport".
    bool optionsWindowShown = false;
    bool optionsMenuShown = false;
    bool portGroupShown = false;
    // The curve warning texts turn yellow when a lock is refused, white when one is sent.
    bool curveWarningHighlighted = false;
    // The options window's version and serial fields.
    std::string versionInfo;
    std::string serialNumber;

    std::function<void()> changed;
    void notify() const {
        if (changed)
            changed();
    }
    void setMainButtons(bool enabled) {
        mainButtonsEnabled = enabled;
        optionsButtonEnabled = enabled;
    }
};

}  // namespace etc::app
