#include "gui/windows.h"

#include "gui/errors_window.h"
#include "gui/main_window.h"
#include "gui/options_window.h"
#include "gui/splash_dialog.h"

namespace etc::gui {

bool splashWanted(const QStringList& args) {
    for (qsizetype i = 0; i < args.size() && i < 3; ++i) {
        if (args[i] == QLatin1String("-O"))
            return false;
    }
    return true;
}

void addObserver(std::function<void()>& slot, std::function<void()> observer) {
    if (!slot) {
        slot = std::move(observer);
        return;
    }
    slot = [previous = std::move(slot), observer = std::move(observer)] {
        previous();
        observer();
    };
}

Windows::Windows(app::Session& session, bool splash) : m_session(session) {
    live::Dashboard& dashboard = session.window.dashboard;
    live::ErrorsWindow& errors = session.window.errors;
    m_main = std::make_unique<MainWindow>(session, dashboard);
    if (splash)
        m_splash = std::make_unique<SplashDialog>();
    m_options = std::make_unique<OptionsWindow>(session);
    m_errors = std::make_unique<ErrorsWindow>(session, errors);

    const auto whileAlive = [alive = m_alive](std::function<void()> draw) {
        return [alive, draw = std::move(draw)] {
            if (*alive)
                draw();
        };
    };
    addObserver(session.window.changed, whileAlive([this] {
                    m_main->refreshState();
                    m_options->refresh();
                }));
    addObserver(session.image.changed, whileAlive([this] {
                    m_main->refreshMaps();
                    m_main->refreshState();
                }));
    addObserver(session.portGroup.changed, whileAlive([this] {
                    m_options->refresh();
                    m_main->refreshState();
                }));
    addObserver(dashboard.changed, whileAlive([this] { m_main->refreshDashboard(); }));
    addObserver(errors.changed, whileAlive([this] { m_errors->refresh(); }));
}

Windows::~Windows() {
    *m_alive = false;
}

void Windows::start() {
    if (m_splash)
        m_splash->exec();
    m_main->move(0, 20);
    m_main->show();
    m_errors->move(m_main->width() - kErrorsWindowOffset, kErrorsWindowTop);
    m_session.start();
    m_main->refresh();
    m_options->refresh();
}

}  // namespace etc::gui
