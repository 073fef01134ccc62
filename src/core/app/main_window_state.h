// What the main window shows, as plain state. The core's behaviours change it; the desktop window
// renders it and `etcctl` reads it. Observers are told of every change through `changed`.
#pragma once

#include <functional>
#include <string>

namespace etc::app {

namespace text {
inline constexpr const char* kUploading = "Up_loading";
inline constexpr const char* kDownloading = "Down_loading";
}  // namespace text

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
    bool powerInterruptedPanelShown = false;
    // Dashboard value texts enabled (yellow) or disabled (silver).
    bool valueDisplayEnabled = false;
    // The main-window tables with the response-type and acc-limiter inputs accept edits.
    bool tablesEnabled = true;
    // The Cancel buttons of the seven Options settings groups.
    bool optionsCancelEnabled = true;
    // The Options window's version and serial fields.
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
