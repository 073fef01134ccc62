// etcctl: the command-line companion. It runs the same request engine as the desktop tool, on the
// QSerialPort adapter or the in-process simulated module, in a QCoreApplication event loop.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "link/request_engine.h"
#include "link/stream_prompter.h"
#include "live/live_csv.h"
#include "live/live_frame.h"
#include "qtio/qt_serial_port.h"
#include "qtio/qt_timer_service.h"
#include "sim/module.h"
#include "sim/simulated_port.h"

namespace {

using namespace etc;

constexpr int kExitOk = 0;
constexpr int kExitOffline = 1;
constexpr int kExitUsage = 2;

const char* const kGeneralHelp =
    "Usage: etcctl (--port NAME | --simulate) COMMAND [options]\n"
    "\n"
    "Talks to the ETC module over a serial port, exactly as the desktop tool does.\n"
    "\n"
    "Commands:\n"
    "  info      connect and print the version, serial number and access levels\n"
    "  monitor   connect and print the live values of every frame\n"
    "\n"
    "Options:\n"
    "  --port NAME     the serial port (for example /dev/ttyUSB0 or a pseudo-terminal)\n"
    "  --simulate      use the built-in simulated module instead of a port\n"
    "  --help          this text; 'etcctl COMMAND --help' describes a command\n"
    "\n"
    "Exit codes: 0 done, 1 the port failed or the module did not answer, 2 bad arguments.\n";

const char* const kInfoHelp =
    "Usage: etcctl (--port NAME | --simulate) info\n"
    "\n"
    "Runs the connect handshake (\"V\" at 9600 baud, \"G\", 115200 baud, \"S\", \"a\") and prints\n"
    "  version: TEXT\n  serial: TEXT\n  master: N\n  user: N\n"
    "When the module does not answer, the tool goes offline after six failed replies and etcctl\n"
    "prints the error count and exits 1.\n";

const char* const kMonitorHelp =
    "Usage: etcctl (--port NAME | --simulate) monitor [--duration SECONDS] [--csv FILE]\n"
    "\n"
    "Runs the connect handshake, then polls the live frame (120 ms after each good frame) and prints\n"
    "the dashboard values of every frame. Stops after the duration or on Ctrl-C.\n"
    "  --duration SECONDS   how long to monitor (default: until Ctrl-C)\n"
    "  --csv FILE           also write one row per frame: time, every value in engineering units,\n"
    "                       the status bits, the calibration status and the three error words\n";

// Ctrl-C and SIGTERM reach the event loop through a socket pair.
int g_signalFd[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    (void)!::write(g_signalFd[1], &c, 1);
}

class Ctl {
  public:
    Ctl(QCoreApplication& app, bool simulate, const std::string& portName)
        : m_app(app), m_prompter(std::cerr) {
        if (simulate) {
            m_module = std::make_unique<sim::Module>(m_timers, sim::ModuleConfig{});
            auto port = std::make_unique<sim::SimulatedPort>(m_timers, *m_module);
            m_port = std::move(port);
        } else {
            m_port = std::make_unique<qtio::QtSerialPort>();
        }
        m_engine = std::make_unique<link::RequestEngine>(*m_port, m_timers, m_prompter);
        m_engine->setPortName(simulate ? "SIM" : portName);
        auto& h = m_engine->hooks();
        h.versionText = [this](const std::string& v) { m_version = v; };
        h.serialNumber = [this](const std::string& s) { m_serial = s; };
        h.gaveUp = [this] {
            std::cerr << "etcctl: communication is offline: the module did not answer ("
                      << m_engine->errorLabel() << ")\n";
        };
        h.onlineChanged = [this](bool online) {
            if (!online)
                finish(kExitOffline);
        };
    }

    int runInfo() {
        m_engine->hooks().accessLevels = [this](int master, int user) {
            std::cout << "version: " << m_version << "\nserial: " << m_serial << "\nmaster: " << master
                      << "\nuser: " << user << std::endl;
            finish(kExitOk);
        };
        return run();
    }

    int runMonitor(std::optional<double> seconds, const std::string& csvPath) {
        if (!csvPath.empty()) {
            m_csv.open(csvPath, std::ios::out | std::ios::trunc);
            if (!m_csv) {
                std::cerr << "etcctl: cannot write " << csvPath << '\n';
                return kExitUsage;
            }
            m_csv << live::csvHeader() << '\n';
        }
        auto& h = m_engine->hooks();
        h.accessLevels = [this](int, int) { m_engine->schedule(link::step::kPoll); };
        h.liveFrame = [this](link::ByteView bytes) {
            const auto frame = live::decodeLiveFrame(bytes);
            if (!frame)
                return;
            const double t = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
            std::cout << live::monitorLine(t, *frame) << '\n';
            if (m_csv.is_open())
                m_csv << live::csvRow(t, *frame) << '\n';
        };
        if (seconds)
            QTimer::singleShot(static_cast<int>(*seconds * 1000.0), &m_app, [this] { finish(kExitOk); });
        return run();
    }

  private:
    int run() {
        QSocketNotifier notifier(g_signalFd[0], QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &m_app, [this] {
            char c;
            (void)!::read(g_signalFd[0], &c, 1);
            finish(kExitOk);
        });
        m_clock.start();
        // As the desktop tool does when its window is shown: the handshake starts 80 ms later.
        m_engine->schedule(link::step::kConnect);
        const int code = m_app.exec();
        std::cout.flush();
        if (m_csv.is_open())
            m_csv.close();
        return code;
    }

    void finish(int code) {
        if (m_done)
            return;
        m_done = true;
        m_engine->stopPolling();
        m_engine->sequenceTimer().stop();
        m_engine->stepTimer().stop();
        m_engine->port().close();
        m_app.exit(code);
    }

    QCoreApplication& m_app;
    qtio::QtTimerService m_timers;
    link::StreamPrompter m_prompter;
    std::unique_ptr<sim::Module> m_module;
    std::unique_ptr<link::SerialPort> m_port;
    std::unique_ptr<link::RequestEngine> m_engine;
    std::string m_version;
    std::string m_serial;
    std::ofstream m_csv;
    QElapsedTimer m_clock;
    bool m_done = false;
};

int usage(const std::string& message) {
    std::cerr << "etcctl: " << message << "\nTry 'etcctl --help'.\n";
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("etcctl");

    QCommandLineParser parser;
    const QCommandLineOption portOption("port", "Serial port.", "NAME");
    const QCommandLineOption simulateOption("simulate", "Use the simulated module.");
    const QCommandLineOption durationOption("duration", "Seconds to monitor.", "SECONDS");
    const QCommandLineOption csvOption("csv", "CSV file.", "FILE");
    const QCommandLineOption helpOption(QStringList{"h", "help"}, "Help.");
    parser.addOptions({portOption, simulateOption, durationOption, csvOption, helpOption});
    parser.addPositionalArgument("command", "info or monitor");
    if (!parser.parse(app.arguments()))
        return usage(parser.errorText().toStdString());

    const QStringList positional = parser.positionalArguments();
    const std::string command = positional.isEmpty() ? std::string() : positional.first().toStdString();
    if (parser.isSet(helpOption)) {
        std::cout << (command == "info" ? kInfoHelp : command == "monitor" ? kMonitorHelp : kGeneralHelp);
        return kExitOk;
    }
    if (command.empty())
        return usage("no command given");
    if (positional.size() > 1)
        return usage("unexpected argument '" + positional[1].toStdString() + "'");
    if (command != "info" && command != "monitor")
        return usage("unknown command '" + command + "'");
    const bool simulate = parser.isSet(simulateOption);
    if (simulate == parser.isSet(portOption))
        return usage("give either --port NAME or --simulate");
    if (command == "info" && (parser.isSet(durationOption) || parser.isSet(csvOption)))
        return usage("--duration and --csv belong to the monitor command");

    std::optional<double> seconds;
    if (parser.isSet(durationOption)) {
        bool ok = false;
        const double d = parser.value(durationOption).toDouble(&ok);
        if (!ok || d <= 0 || d > 1e6)
            return usage("--duration needs a number of seconds greater than 0");
        seconds = d;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFd) != 0) {
        std::perror("etcctl: socketpair");
        return kExitOffline;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    Ctl ctl(app, simulate, parser.value(portOption).toStdString());
    if (command == "info")
        return ctl.runInfo();
    return ctl.runMonitor(seconds, parser.value(csvOption).toStdString());
}
