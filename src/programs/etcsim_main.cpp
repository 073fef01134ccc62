// etcsim: the simulated ETC module on a pseudo-terminal. Prints the slave device path as the first line
// of standard output, then serves the module there until SIGINT or SIGTERM.
#include <sys/socket.h>
#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "qtio/pty_host.h"
#include "qtio/qt_timer_service.h"
#include "sim/fault.h"
#include "sim/module.h"

namespace {

constexpr int kUsageExit = 2;

// Written by the signal handler, read on the event loop: the only async-signal-safe way in.
int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

int usageError(const QString& message) {
    std::fprintf(stderr, "etcsim: %s\nTry 'etcsim --help' for the options.\n", qPrintable(message));
    return kUsageExit;
}

std::optional<int> intOption(const QString& text, int min, int max) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

std::string hexText(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X ", b);
        out += two;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("etcsim");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulated ETC module on a pseudo-terminal.\n"
        "Prints the device path to open as the first line of output, then serves until interrupted.");
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption("version", "Version text the module reports (default 1EA1AB1AA).",
                                           "text", "1EA1AB1AA");
    const QCommandLineOption serialOption("serial", "Serial number the module reports (default 123456).",
                                          "text", "123456");
    const QCommandLineOption masterOption("master", "Master level, 0..255 (default 4).", "n", "4");
    const QCommandLineOption userOption("user", "User level, 0..255 (default 4).", "n", "4");
    const QCommandLineOption imageOption("image", "Settings image: 2048 bytes, 1024 words high byte first.",
                                         "file");
    const QCommandLineOption latencyOption(
        "latency-ms", "Extra time before every answer, in ms (fractions allowed).", "ms", "0");
    const QCommandLineOption faultOption("fault",
                                         "Inject a fault: KIND:LETTER:N with KIND drop, corrupt, nak or "
                                         "unplug, or delay:LETTER:N:MS. Repeatable.",
                                         "kind:letter:n");
    const QCommandLineOption chunkOption(
        "chunk-bytes", "Deliver answers in pieces of this many bytes (0: whole).", "n", "0");
    const QCommandLineOption staticOption("static", "Keep the live values still instead of moving them.");
    const QCommandLineOption logOption("log", "Print every request (time, baud, bytes) to standard error.");
    parser.addOptions({versionOption, serialOption, masterOption, userOption, imageOption, latencyOption,
                       faultOption, chunkOption, staticOption, logOption});

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError("unexpected argument: " + parser.positionalArguments().join(' '));

    etc::sim::ModuleConfig config;
    config.keepLog = false;
    config.version = parser.value(versionOption).toStdString();
    config.serial = parser.value(serialOption).toStdString();
    const auto master = intOption(parser.value(masterOption), 0, 255);
    if (!master)
        return usageError("--master wants a number from 0 to 255, not '" + parser.value(masterOption) + "'");
    const auto user = intOption(parser.value(userOption), 0, 255);
    if (!user)
        return usageError("--user wants a number from 0 to 255, not '" + parser.value(userOption) + "'");
    config.masterLevel = *master;
    config.userLevel = *user;

    bool ok = false;
    const double latencyMs = parser.value(latencyOption).toDouble(&ok);
    if (!ok || !std::isfinite(latencyMs) || latencyMs < 0 || latencyMs > 60000)
        return usageError("--latency-ms wants milliseconds from 0 to 60000, not '" +
                          parser.value(latencyOption) + "'");
    config.latency =
        std::chrono::duration_cast<etc::link::Duration>(std::chrono::duration<double, std::milli>(latencyMs));

    const auto chunk = intOption(parser.value(chunkOption), 0, 1 << 20);
    if (!chunk)
        return usageError("--chunk-bytes wants a number of bytes, not '" + parser.value(chunkOption) + "'");
    config.chunkBytes = static_cast<std::size_t>(*chunk);

    for (const QString& faultText : parser.values(faultOption)) {
        const auto fault = etc::sim::parseFault(faultText.toStdString());
        if (!fault)
            return usageError("--fault '" + faultText + "' is not KIND:LETTER:N or delay:LETTER:N:MS");
        config.faults.push_back(*fault);
    }
    if (parser.isSet(imageOption)) {
        std::string error;
        if (!etc::sim::loadImage(parser.value(imageOption).toStdString(), config.memory, error))
            return usageError(QString::fromStdString(error));
    }
    config.animate = !parser.isSet(staticOption);

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        std::perror("etcsim: socketpair");
        return 1;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    etc::qtio::QtTimerService timers;
    etc::sim::Module module(timers, std::move(config));
    if (parser.isSet(logOption)) {
        module.setRequestObserver([](const etc::sim::RequestRecord& r) {
            const double ms = std::chrono::duration<double, std::milli>(r.at).count();
            std::fprintf(stderr, "%12.3f ms %6d %s%s\n", ms, r.baud, hexText(r.bytes).c_str(),
                         r.accepted ? "" : "  (not heard)");
        });
    }

    etc::qtio::PtyHost host(module);
    if (const auto error = host.open()) {
        std::fprintf(stderr, "etcsim: cannot create a pseudo-terminal: %s\n", error->c_str());
        return 1;
    }
    QObject::connect(&host, &etc::qtio::PtyHost::unplugged, &app,
                     [] { std::fprintf(stderr, "etcsim: unplug fault: the device is gone\n"); });
    std::printf("%s\n", host.devicePath().c_str());
    std::fflush(stdout);

    return QCoreApplication::exec();
}
