// etcconf: the desktop tool. The session (request engine, settings image, the main window's state and
// commands) runs on the QSerialPort adapter, or with --simulate on the simulated module inside the
// program, and the Qt windows draw it.
#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/session.h"
#include "gui/main_window.h"
#include "gui/windows.h"
#include "qtio/qt_desktop.h"
#include "qtio/qt_file_dialogs.h"
#include "qtio/qt_port_list.h"
#include "qtio/qt_prompter.h"
#include "qtio/qt_serial_port.h"
#include "qtio/qt_timer_service.h"
#include "sim/module.h"
#include "sim/simulated_port.h"

namespace {

constexpr int kUsageExit = 2;
constexpr const char* kSimulatedPortName = "SIM";

const char* const kHelp =
    "Usage: etcconf [--simulate | --port NAME] [-O] [-1 .. -9] [--quit-after-seconds N]\n"
    "\n"
    "The desktop tool for the ETC module.\n"
    "\n"
    "  --simulate               talk to the simulated module built into the program\n"
    "  --port NAME              use this serial port instead of the one saved in com.ini\n"
    "  -O                       (among the first three arguments) no opening screen\n"
    "  -1 .. -9                 (first or second argument) COM1 .. COM9 when com.ini cannot be read\n"
    "  --quit-after-seconds N   close the program N seconds after its main window shows\n"
    "  --screenshot FILE        with --quit-after-seconds: save a picture of the main window first\n"
    "  --help                   this text\n";

struct Arguments {
    bool simulate = false;
    std::string port;
    std::optional<double> quitAfter;
    std::string screenshot;
    bool help = false;
    std::string error;
};

Arguments parse(const QStringList& args) {
    Arguments a;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--simulate")) {
            a.simulate = true;
        } else if (arg == QLatin1String("--port") || arg == QLatin1String("--quit-after-seconds") ||
                   arg == QLatin1String("--screenshot")) {
            if (i + 1 >= args.size()) {
                a.error = arg.toStdString() + " needs a value";
                return a;
            }
            const QString value = args[++i];
            if (arg == QLatin1String("--port")) {
                a.port = value.toStdString();
            } else if (arg == QLatin1String("--screenshot")) {
                a.screenshot = value.toStdString();
            } else {
                bool ok = false;
                const double seconds = value.toDouble(&ok);
                if (!ok || seconds < 0) {
                    a.error = "--quit-after-seconds needs a number of seconds";
                    return a;
                }
                a.quitAfter = seconds;
            }
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            a.help = true;
        }
        // Everything else ("-O", "-1".."-9") is the tool's own and read where it matters.
    }
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("etcconf"));
    const QStringList args = QApplication::arguments().mid(1);

    const Arguments options = parse(args);
    if (options.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "etcconf: %s\nTry 'etcconf --help'.\n", options.error.c_str());
        return kUsageExit;
    }
    if (options.simulate && !options.port.empty()) {
        std::fprintf(stderr, "etcconf: --simulate and --port exclude each other\n");
        return kUsageExit;
    }

    etc::qtio::QtTimerService timers;
    std::unique_ptr<etc::sim::Module> module;
    std::unique_ptr<etc::link::SerialPort> port;
    etc::app::SessionSetup setup;
    setup.programDir = QDir::toNativeSeparators(QApplication::applicationDirPath()).toStdString();
    for (const QString& arg : args)
        setup.args.push_back(arg.toStdString());
    const QString decimal = QLocale().decimalPoint();
    setup.decimalSeparator = decimal.size() == 1 ? decimal.at(0).toLatin1() : '.';
    if (options.simulate) {
        module = std::make_unique<etc::sim::Module>(timers, etc::sim::ModuleConfig{});
        port = std::make_unique<etc::sim::SimulatedPort>(timers, *module,
                                                         std::vector<std::string>{kSimulatedPortName});
        setup.portOverride = kSimulatedPortName;
        setup.portList = {kSimulatedPortName};
    } else {
        port = std::make_unique<etc::qtio::QtSerialPort>();
        setup.portOverride = options.port;
        setup.portList = etc::qtio::systemPortList();
    }

    etc::qtio::QtPrompter prompter;
    etc::qtio::QtFileDialogs dialogs;
    etc::qtio::QtDesktop desktop;
    setup.desktop = &desktop;
    setup.dialogs = &dialogs;
    etc::app::Session session(*port, timers, prompter, std::move(setup));

    etc::gui::Windows windows(session, etc::gui::splashWanted(args));
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&windows.main(), &etc::gui::MainWindow::closed, &app, &QApplication::quit);
    prompter.setParent(&windows.main());
    dialogs.setParent(&windows.main());
    windows.start();
    // Counted from the main window on: a quit while the splash's own loop runs would be lost.
    if (options.quitAfter) {
        QTimer::singleShot(static_cast<int>(*options.quitAfter * 1000.0), &app, [&] {
            if (!options.screenshot.empty() &&
                !windows.main().grab().save(QString::fromStdString(options.screenshot)))
                std::fprintf(stderr, "etcconf: cannot write %s\n", options.screenshot.c_str());
            QApplication::quit();
        });
    }
    return QApplication::exec();
}
