// The session: one request engine, one settings image and the behaviours that work on them, wired
// together as the main window owns them, with the main window's own commands. The desktop window and
// etcctl both stand on it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "access/access_levels.h"
#include "app/main_window_state.h"
#include "link/desktop.h"
#include "link/file_dialogs.h"
#include "link/port_group.h"
#include "link/prompter.h"
#include "link/request_engine.h"
#include "link/serial_port.h"
#include "link/timer.h"
#include "settings/download.h"
#include "settings/settings_file.h"
#include "settings/settings_image.h"
#include "settings/upload.h"
#include "settings/version_rules.h"

namespace etc::app {

// What the program is given besides the port, the timers and the message boxes.
struct SessionSetup {
    std::filesystem::path programDir;
    std::vector<std::string> args;  // the command-line arguments after the program name
    std::string portOverride;       // a port named on the command line wins over "com.ini"
    char decimalSeparator = '.';    // the user's locale's, for the dashboard texts
    std::vector<std::string> portList = link::windowsPortList();
    link::Desktop* desktop = nullptr;
    link::FileDialogs* dialogs = nullptr;
};

// Keys the main window reacts to; anything else is left to the focused control.
enum class Key { F1, F2, F3, F4, F7, F10, S, P, L, Other };

class Session {
    // Without a desktop shell nothing can be opened.
    struct NoDesktop final : link::Desktop {
        bool openDocument(const std::string&) override { return false; }
        bool fileExists(const std::string&) const override { return false; }
    };
    // First, so that the members below can use them while they are built.
    SessionSetup m_setup;
    NoDesktop m_noDesktop;

  public:
    Session(link::SerialPort& port, link::TimerService& timers, link::Prompter& prompter,
            SessionSetup setup = {});
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // What the main window does when it is first shown: the port setting is read, the held version
    // text is the tool's own, the idle panel follows it, and the connect handshake starts 80 ms later.
    void start();

    // --- The main window's commands ---
    // A key of the main window (it sees keys before its controls). True when the key was used.
    bool keyPressed(Key key, bool alt);
    void dashboardClicked();
    // The visible F7 button, enabled even while the main buttons are not.
    void f7Button();
    void uploadCommand();
    void downloadCommand();
    void lockCommand();
    void stayOffline();
    void cancelMenu();
    void openManual();
    // The error label and the port button open the port group of the Options window.
    void openPortGroup();
    void closePortGroup();
    [[nodiscard]] std::string caption() const { return windowCaption(engine.dataNotLocked()); }
    [[nodiscard]] HeaderGradient headerGradient() const {
        return engine.dataNotLocked() ? kHeaderNotLocked : kHeaderLocked;
    }

    // --- The settings-file commands ---
    void setFileDialogs(link::FileDialogs* dialogs, std::filesystem::path programDir) {
        m_setup.dialogs = dialogs;
        m_setup.programDir = std::move(programDir);
    }
    // Save file (F3): polling stops for the dialog and resumes afterwards.
    void saveCommand();
    // Open file (F2): after the dialog the tool is offline and the up/download menu opens in its form
    // for a loaded file, whatever the load gave; a cancelled dialog resumes polling.
    void openCommand();
    // A predefined control-loop setting (item 1..5): its values are taken and written at once.
    void choosePredefined(int item);

    link::Prompter& prompter;
    MainWindowState window;
    link::RequestEngine engine;
    settings::SettingsImage image;
    settings::VersionRules versions;
    settings::Upload upload;
    settings::Download download;
    settings::SettingsFile file;
    access::AccessLevels access;
    link::PortGroup portGroup;

    // Every good live frame after the dashboard and the errors window took it (for programs that
    // want the values themselves, such as etcctl's monitor).
    std::function<void(const live::LiveFrame&)> liveFrameShown;

  private:
    void showLiveFrame(link::ByteView bytes);
    void wentOffline();
    void showMenu(MainWindowState::MenuForm form);
    [[nodiscard]] link::FileDialogRequest fileRequest(const char* title, const char* filter) const;
    [[nodiscard]] link::Desktop& desktop() {
        if (m_setup.desktop)
            return *m_setup.desktop;
        return m_noDesktop;
    }
};

}  // namespace etc::app
