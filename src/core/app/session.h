// The session: one request engine, one settings image and the behaviours that work on them, wired
// together as the main window owns them. The desktop window and etcctl both stand on it.
#pragma once

#include <memory>

#include "access/access_levels.h"
#include "app/main_window_state.h"
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
};

}  // namespace etc::app
