// The program's windows, created in the module tool's order (main window, splash, Options window,
// errors window) and tied to the session: every change the core reports is drawn at once.
#pragma once

#include <QStringList>
#include <functional>
#include <memory>

#include "app/session.h"

namespace etc::gui {

class ErrorsWindow;
class MainWindow;
class OptionsWindow;
class SplashDialog;

// The errors window's place: its left edge 315 pixels left of the main window's width, at top 55.
inline constexpr int kErrorsWindowOffset = 315;
inline constexpr int kErrorsWindowTop = 55;

// "-O" among the first three arguments (after the program name) means no splash dialog.
[[nodiscard]] bool splashWanted(const QStringList& args);

class Windows {
  public:
    Windows(app::Session& session, bool splash);
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    // The splash first (modal, if wanted), then the main window is shown: the errors window is placed
    // and the session starts (port setting, start state, connect handshake 80 ms later).
    void start();

    [[nodiscard]] MainWindow& main() { return *m_main; }
    [[nodiscard]] SplashDialog* splash() { return m_splash.get(); }
    [[nodiscard]] OptionsWindow& options() { return *m_options; }
    [[nodiscard]] ErrorsWindow& errors() { return *m_errors; }

  private:
    app::Session& m_session;
    // The observers outlive this object inside the core's callbacks; they draw only while it lives.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<SplashDialog> m_splash;
    std::unique_ptr<OptionsWindow> m_options;
    std::unique_ptr<ErrorsWindow> m_errors;
};

// Adds an observer to a core callback, keeping the one already there.
void addObserver(std::function<void()>& slot, std::function<void()> observer);

}  // namespace etc::gui
