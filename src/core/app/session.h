// The session: one request engine, one settings image and the behaviours that work on them, wired
// together as the main window owns them. The desktop window and etcctl both stand on it.
#pragma once

#include <filesystem>
#include <memory>

#include "access/access_levels.h"
#include "app/main_window_state.h"
#include "link/file_dialogs.h"
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

class Session {
  public:
    Session(link::SerialPort& port, link::TimerService& timers, link::Prompter& prompter);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // What the main window does when it is first shown: the held version text is the tool's own, the
    // idle panel follows it, and the connect handshake starts 80 ms later.
    void start();

    // The settings-file commands. They need the dialogs and the program's folder.
    void setFileDialogs(link::FileDialogs* dialogs, std::filesystem::path programDir) {
        m_dialogs = dialogs;
        m_programDir = std::move(programDir);
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

  private:
    void wentOffline();
    [[nodiscard]] link::FileDialogRequest fileRequest(const char* title, const char* filter) const;

    link::FileDialogs* m_dialogs = nullptr;
    std::filesystem::path m_programDir;
};

}  // namespace etc::app
