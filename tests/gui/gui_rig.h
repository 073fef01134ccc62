// The windows on the session on virtual time against the simulated module, with a scripted prompter
// and a desktop that records what it was asked to open. Widgets are found by object name.
#pragma once

#include <unistd.h>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/session.h"
#include "gui/errors_window.h"
#include "gui/main_window.h"
#include "gui/options_window.h"
#include "gui/windows.h"
#include "link/virtual_clock.h"
#include "sim/module.h"
#include "sim/simulated_port.h"
#include "test_support.h"

namespace etc::guitest {

using namespace std::chrono_literals;

using test::TempDir;

using test::RecordingDesktop;

struct RigOptions {
    sim::ModuleConfig module;
    sim::LiveValues live;                      // what the module's live frames carry
    std::vector<std::string> ports{"SIM"};     // the port list of the search and the manual choice
    std::vector<std::string> openable{"SIM"};  // the names the simulated port opens
    std::vector<std::string> args{"-O"};
    std::string portOverride{"SIM"};  // as --port gives it; empty: the name from com.ini or "COM1"
};

class GuiRig {
  public:
    explicit GuiRig(RigOptions options = {}) {
        options.module.animate = false;
        module = std::make_unique<sim::Module>(clock, std::move(options.module));
        module->live() = options.live;
        port = std::make_unique<sim::SimulatedPort>(clock, *module, options.openable);
        app::SessionSetup setup;
        setup.programDir = dir.path;
        setup.args = options.args;
        setup.portOverride = options.portOverride;
        setup.portList = options.ports;
        setup.desktop = &desktop;
        session = std::make_unique<app::Session>(*port, clock, prompter, std::move(setup));
        windows = std::make_unique<gui::Windows>(*session, false);
    }
    ~GuiRig() {
        // The windows go before the session whose callbacks draw them.
        windows.reset();
        session.reset();
    }
    GuiRig(const GuiRig&) = delete;
    GuiRig& operator=(const GuiRig&) = delete;

    app::Session& s() { return *session; }
    gui::MainWindow& main() { return windows->main(); }
    gui::ErrorsWindow& errorsWindow() { return windows->errors(); }
    gui::OptionsWindow& options() { return windows->options(); }

    // A widget of any of the windows by its object name; null when there is none or more than one.
    template <typename T = QWidget>
    T* find(const char* name) {
        T* found = nullptr;
        int count = 0;
        for (QWidget* window : std::initializer_list<QWidget*>{&main(), &errorsWindow(), &options()}) {
            if (window->objectName() == QLatin1String(name)) {
                found = qobject_cast<T*>(window);
                ++count;
            }
            for (T* w : window->findChildren<T*>(QString::fromLatin1(name))) {
                found = w;
                ++count;
            }
        }
        return count == 1 ? found : nullptr;
    }
    QString text(const char* name) {
        if (auto* label = find<QLabel>(name))
            return label->text();
        if (auto* button = find<QAbstractButton>(name))
            return button->text();
        return QStringLiteral("<no %1>").arg(QLatin1String(name));
    }
    // Visible on screen: the widget and every parent up to its window shown.
    bool shows(const char* name) {
        QWidget* w = find(name);
        return w && w->isVisible();
    }
    bool enabled(const char* name) {
        QWidget* w = find(name);
        return w && w->isEnabled();
    }
    // A left click on the widget, as the user makes it.
    void click(const char* name) {
        QWidget* w = find(name);
        QVERIFY2(w, name);
        QVERIFY2(w->isVisible(), name);
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
    }
    void key(QWidget* receiver, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(receiver, key, modifiers);
    }

    void start() { windows->start(); }
    bool runUntil(const std::function<bool()>& done, link::Duration limit = 10s) {
        return clock.runUntil(done, limit);
    }
    void run(link::Duration d) { clock.advance(d); }
    int polls() const { return module->requestCount('*'); }
    int requests(char letter) const { return module->requestCount(letter); }
    // Started and polling: the handshake, the upload at user level 2..4, then live frames.
    bool connect() {
        start();
        return runUntil([this] { return polls() >= 3; });
    }

    TempDir dir;
    link::VirtualClock clock;
    std::unique_ptr<sim::Module> module;
    std::unique_ptr<sim::SimulatedPort> port;
    test::ScriptedPrompter prompter;
    RecordingDesktop desktop;
    std::unique_ptr<app::Session> session;
    std::unique_ptr<gui::Windows> windows;
};

}  // namespace etc::guitest
