// etcctl: the command-line companion. It runs the same session as the desktop tool (request engine,
// settings image, upload, download, settings files) on the QSerialPort adapter or the in-process
// simulated module, in a QCoreApplication event loop.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
#include <sstream>
#include <string>

#include "app/session.h"
#include "link/stream_prompter.h"
#include "live/live_csv.h"
#include "live/live_frame.h"
#include "qtio/qt_serial_port.h"
#include "qtio/qt_timer_service.h"
#include "settings/settings_file.h"
#include "settings/settings_image.h"
#include "settings/version_rules.h"
#include "sim/module.h"
#include "sim/simulated_port.h"

namespace {

using namespace etc;
using settings::Block;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitRefused = 2;  // bad arguments, or the module or the user level does not allow it
constexpr int kExitVerifyDiffers = 3;

const char* const kGeneralHelp =
    "Usage: etcctl (--port NAME | --simulate [--image FILE]) COMMAND [options]\n"
    "       etcctl show FILE [--json]\n"
    "\n"
    "Talks to the ETC module over a serial port, exactly as the desktop tool does.\n"
    "\n"
    "Commands:\n"
    "  info       connect and print the version, serial number and access levels\n"
    "  monitor    connect and print the live values of every frame\n"
    "  upload     connect, read every settings block and save them to a settings file\n"
    "  download   load a settings file and write it into the module\n"
    "  show       print the settings of a file\n"
    "\n"
    "Options:\n"
    "  --port NAME     the serial port (for example /dev/ttyUSB0 or a pseudo-terminal)\n"
    "  --simulate      use the built-in simulated module instead of a port\n"
    "  --image FILE    with --simulate: the module's 1024 settings words (2048 bytes, high byte first)\n"
    "  --help          this text; 'etcctl COMMAND --help' describes a command\n"
    "\n"
    "Exit codes: 0 done; 1 the port failed, the module stopped answering or a file could not be used;\n"
    "2 bad arguments or refused (user level, newer module, unsupported version); 3 download --verify\n"
    "found differences.\n";

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

const char* const kUploadHelp =
    "Usage: etcctl (--port NAME | --simulate) upload -o FILE [--ignore-newer]\n"
    "\n"
    "Runs the connect handshake, asks for the access levels, checks the module's version and reads\n"
    "every settings block with \"Z\" (18 blocks, 16 for modules below 1EA1AB), then saves the settings\n"
    "file FILE. User level 1 cannot read settings (exit 2). A module newer than this software stops\n"
    "the upload (exit 2) unless --ignore-newer is given.\n";

const char* const kDownloadHelp =
    "Usage: etcctl (--port NAME | --simulate) download FILE [--ignore-mismatch] [--ignore-newer] [--verify]\n"
    "\n"
    "Loads the settings file, then writes it into the module exactly as the download command does:\n"
    "version query at 9600 baud, \"G\", every block with \"E\" frames, then \"R\".\n"
    "  --ignore-mismatch   go on when the module's version differs from the file's (otherwise exit 1)\n"
    "  --ignore-newer      go on when the file's version is newer than this software\n"
    "  --verify            read every written block back after \"R\" and compare it with what was sent;\n"
    "                      differences are listed and the exit code is 3\n";

const char* const kShowHelp =
    "Usage: etcctl show FILE [--json]\n"
    "\n"
    "Prints the settings of a settings file. With --json, one JSON object: \"version\", every setting\n"
    "under its name (numbers in engineering units, check boxes true or false, choices as their item\n"
    "index), every table as an array of numbers and \"calibration\" as its 128 words. Settings the\n"
    "file's version does not have are left out.\n";

// Ctrl-C and SIGTERM reach the event loop through a socket pair.
int g_signalFd[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    (void)!::write(g_signalFd[1], &c, 1);
}

bool hasIdle(const std::string& version) {
    return settings::hasIdleBlocks(version);
}

bool blockPresent(Block block, const std::string& version) {
    return (block != Block::IdleTable && block != Block::IdleStart) || hasIdle(version);
}

struct Options {
    std::string command;
    std::string port;
    bool simulate = false;
    std::string image;
    std::optional<double> seconds;
    std::string csv;
    std::string output;
    std::string file;
    bool ignoreNewer = false;
    bool ignoreMismatch = false;
    bool verify = false;
    bool json = false;
};

class Ctl {
  public:
    Ctl(QCoreApplication& app, const Options& options)
        : m_app(app), m_options(options), m_prompter(std::cerr) {
        if (options.simulate) {
            sim::ModuleConfig config;
            if (!options.image.empty()) {
                std::string error;
                if (!sim::loadImage(options.image, config.memory, error))
                    m_setupError = error;
            }
            m_module = std::make_unique<sim::Module>(m_timers, std::move(config));
            m_port = std::make_unique<sim::SimulatedPort>(m_timers, *m_module);
        } else {
            m_port = std::make_unique<qtio::QtSerialPort>();
        }
        m_prompter.answer = [this](const std::string& text,
                                   link::ButtonSet buttons) -> std::optional<link::Button> {
            return answerFor(text, buttons);
        };
        app::SessionSetup setup;
        setup.portOverride = options.simulate ? "SIM" : options.port;
        m_session = std::make_unique<app::Session>(*m_port, m_timers, m_prompter, setup);
        auto& h = m_session->engine.hooks();
        h.gaveUp = [this] {
            std::cerr << "etcctl: communication is offline: the module did not answer ("
                      << m_session->engine.errorLabel() << ")\n";
        };
        auto previousOnline = std::move(h.onlineChanged);
        h.onlineChanged = [this, previousOnline](bool online) {
            if (previousOnline)
                previousOnline(online);
            if (!online)
                finish(kExitFailed);
        };
    }

    [[nodiscard]] const std::string& setupError() const { return m_setupError; }

    int info() {
        m_session->engine.hooks().accessLevels = [this](int master, int user) {
            std::cout << "version: " << m_session->versions.held()
                      << "\nserial: " << m_session->versions.serial() << "\nmaster: " << master
                      << "\nuser: " << user << std::endl;
            finish(kExitOk);
        };
        return runConnected();
    }

    int monitor() {
        if (!m_options.csv.empty()) {
            m_csv.open(m_options.csv, std::ios::out | std::ios::trunc);
            if (!m_csv) {
                std::cerr << "etcctl: cannot write " << m_options.csv << '\n';
                return kExitFailed;
            }
            m_csv << live::csvHeader() << '\n';
        }
        auto& h = m_session->engine.hooks();
        h.accessLevels = [this](int, int) { m_session->engine.schedule(link::step::kPoll); };
        m_session->liveFrameShown = [this](const live::LiveFrame& frame) {
            const double t = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
            std::cout << live::monitorLine(t, frame) << '\n';
            if (m_csv.is_open())
                m_csv << live::csvRow(t, frame) << '\n';
        };
        if (m_options.seconds)
            QTimer::singleShot(static_cast<int>(*m_options.seconds * 1000.0), &m_app,
                               [this] { finish(kExitOk); });
        return runConnected();
    }

    int upload() {
        auto& h = m_session->engine.hooks();
        h.accessLevels = [this](int master, int user) {
            if (user <= 1) {
                std::cerr << "etcctl: the module reports user level " << user
                          << ": user level 1 cannot read settings\n";
                finish(kExitRefused);
                return;
            }
            m_session->access.onLevels(master, user);
            if (m_session->upload.state() != 0)
                return;  // the block reads have started
            // The version rules refused, and said why on standard error.
            finish(settings::newerThanTool(m_session->versions.held()) ? kExitRefused : kExitFailed);
        };
        m_session->upload.finished = [this] {
            const auto result = m_session->file.save(m_options.output);
            if (result == settings::SettingsFile::SaveResult::Saved) {
                std::cout << "saved " << m_options.output << " (version " << m_session->versions.held()
                          << ", serial " << m_session->versions.serial() << ")" << std::endl;
                finish(kExitOk);
            } else {
                finish(result == settings::SettingsFile::SaveResult::Cancelled ? kExitRefused : kExitFailed);
            }
        };
        return runConnected();
    }

    int download() {
        using Load = settings::SettingsFile::LoadResult;
        const Load loaded = m_session->file.load(m_options.file);
        if (loaded != Load::Loaded)
            return loaded == Load::NewerRefused ? kExitRefused : kExitFailed;
        auto& download = m_session->download;
        download.ended = [this] {
            if (!m_options.verify) {
                std::cout << "downloaded " << m_options.file << std::endl;
                finish(kExitOk);
                return;
            }
            m_verifyPending = true;
        };
        download.abandoned = [this] { finish(kExitFailed); };
        auto& h = m_session->engine.hooks();
        // The engine polls once after "R"; the read-back starts when that poll has been answered.
        m_session->liveFrameShown = [this](const live::LiveFrame&) {
            if (!m_verifyPending)
                return;
            m_verifyPending = false;
            startVerify();
        };
        auto previousRefused = std::move(h.downloadRefused);
        h.downloadRefused = [this, previousRefused] {
            if (previousRefused)
                previousRefused();
            finish(kExitFailed);
        };
        QTimer::singleShot(0, &m_app, [this] {
            m_session->download.start();
            // Refused before anything was sent: the version rules or the port said why.
            if (!m_session->download.running())
                finish(settings::newerThanTool(m_session->versions.held()) ? kExitRefused : kExitFailed);
        });
        return run();
    }

  private:
    std::optional<link::Button> answerFor(const std::string& text, link::ButtonSet buttons) {
        if (buttons != link::ButtonSet::CancelIgnore && buttons != link::ButtonSet::Ok)
            return std::nullopt;
        const bool newer = text == settings::text::kNewerModule;
        const bool mismatch = text.rfind("The file does not match the current system!!!", 0) == 0;
        if (newer && m_options.ignoreNewer)
            // The Ok form goes on when the box is closed without "OK".
            return buttons == link::ButtonSet::Ok ? link::Button::Cancel : link::Button::Ignore;
        if (mismatch && m_options.ignoreMismatch)
            return link::Button::Ignore;
        return std::nullopt;
    }

    void startVerify() {
        auto& engine = m_session->engine;
        engine.stopPolling();
        engine.clearReceiveBlock();
        for (const Block block : settings::kBlocks)
            if (blockPresent(block, m_session->versions.held()))
                m_verifyBlocks.push_back(block);
        engine.hooks().blockRead = [this](link::ByteView reply) { verifyBlock(reply); };
        readNextVerifyBlock();
    }

    void readNextVerifyBlock() {
        if (m_verifyIndex >= m_verifyBlocks.size()) {
            if (m_differences == 0) {
                std::cout << "downloaded and verified " << m_options.file << std::endl;
                finish(kExitOk);
            } else {
                std::cout << m_differences << " words differ" << std::endl;
                finish(kExitVerifyDiffers);
            }
            return;
        }
        const auto span = m_session->image.blockMap().span(m_verifyBlocks[m_verifyIndex]);
        m_session->engine.sendBlockRead(span.address, span.words);
    }

    void verifyBlock(link::ByteView reply) {
        const Block block = m_verifyBlocks[m_verifyIndex];
        const link::Bytes sent = m_session->image.encode(block);
        const link::ByteView read = reply.subspan(1, reply.size() - 2);
        const auto span = m_session->image.blockMap().span(block);
        for (std::size_t i = 0; i + 1 < sent.size() && i + 1 < read.size(); i += 2) {
            const int want = sent[i] * 256 + sent[i + 1];
            const int got = read[i] * 256 + read[i + 1];
            if (want == got)
                continue;
            ++m_differences;
            std::cout << "block " << static_cast<int>(block) << " word "
                      << span.address + static_cast<int>(i / 2) << ": sent " << want << ", module holds "
                      << got << '\n';
        }
        ++m_verifyIndex;
        readNextVerifyBlock();
    }

    int runConnected() {
        QTimer::singleShot(0, &m_app, [this] { m_session->start(); });
        return run();
    }

    int run() {
        QSocketNotifier notifier(g_signalFd[0], QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &m_app, [this] {
            char c;
            (void)!::read(g_signalFd[0], &c, 1);
            finish(kExitOk);
        });
        m_clock.start();
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
        auto& engine = m_session->engine;
        engine.stopPolling();
        engine.sequenceTimer().stop();
        engine.stepTimer().stop();
        engine.port().close();
        m_app.exit(code);
    }

    QCoreApplication& m_app;
    const Options& m_options;
    qtio::QtTimerService m_timers;
    link::StreamPrompter m_prompter;
    std::unique_ptr<sim::Module> m_module;
    std::unique_ptr<link::SerialPort> m_port;
    std::unique_ptr<app::Session> m_session;
    std::string m_setupError;
    std::ofstream m_csv;
    QElapsedTimer m_clock;
    bool m_done = false;
    bool m_verifyPending = false;
    std::vector<Block> m_verifyBlocks;
    std::size_t m_verifyIndex = 0;
    int m_differences = 0;
};

// ---------------------------------------------------------------------------------------------
// show

std::string numberText(double v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

int show(const Options& options) {
    link::StreamPrompter prompter(std::cerr);
    settings::SettingsImage image;
    settings::VersionRules versions(prompter);
    versions.fillBlockMap = [&] { image.blockMap().set(); };
    settings::SettingsFile file(image, versions, prompter);
    // Showing a file of a newer version does no harm: the box is "closed" so the load goes on.
    prompter.answer = [](const std::string& text, link::ButtonSet) -> std::optional<link::Button> {
        if (text == settings::text::kNewerModule)
            return link::Button::Cancel;
        return std::nullopt;
    };
    if (file.load(options.file) != settings::SettingsFile::LoadResult::Loaded)
        return kExitFailed;
    const std::string version = versions.held();

    using Table = settings::SettingsImage::Table;
    struct TableInfo {
        const char* name;
        Table table;
        Block block;
    };
    const TableInfo tables[] = {
        {"Throttle_response_curve_1", Table::Throttle_response_curve_1, Block::Curve1},
        {"Throttle_response_curve_2", Table::Throttle_response_curve_2, Block::Curve2},
        {"Throttle_limit", Table::Throttle_limit, Block::ThrottleLimit},
        {"openloop_idle", Table::openloop_idle, Block::IdleTable},
        {"PositieveSollwert", Table::PositieveSollwert, Block::PedalCorrection},
    };
    auto tableValues = [&](const TableInfo& t) {
        std::vector<double> values;
        if (t.table == Table::Throttle_response_curve_1 || t.table == Table::Throttle_response_curve_2) {
            for (const auto b : image.userCurve(t.table == Table::Throttle_response_curve_1 ? 1 : 2))
                values.push_back(b / 2.0);
        } else {
            for (int c = 0; c < settings::SettingsImage::columns(t.table); ++c)
                values.push_back(image.cell(t.table, c));
        }
        return values;
    };

    if (options.json) {
        QJsonObject root;
        root.insert("version", QString::fromStdString(version));
        for (const auto& f : settings::SettingsImage::fields()) {
            if (!blockPresent(f.block, version))
                continue;
            const double v = *image.value(f.name);
            const QString name = QString::fromUtf8(f.name.data(), static_cast<int>(f.name.size()));
            if (f.kind == settings::FieldKind::CheckBox)
                root.insert(name, v != 0);
            else
                root.insert(name, v);
        }
        for (const auto& t : tables) {
            if (!blockPresent(t.block, version))
                continue;
            QJsonArray values;
            for (const double v : tableValues(t))
                values.append(v);
            root.insert(t.name, values);
        }
        QJsonArray calibration;
        for (const auto w : image.calibrationWords())
            calibration.append(static_cast<int>(w));
        root.insert("calibration", calibration);
        std::cout << QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
        return kExitOk;
    }

    std::cout << "version: " << version << '\n';
    int lastBlock = -1;
    for (const auto& f : settings::SettingsImage::fields()) {
        if (!blockPresent(f.block, version))
            continue;
        if (static_cast<int>(f.block) != lastBlock) {
            lastBlock = static_cast<int>(f.block);
            std::cout << "\n[block " << lastBlock << "]\n";
        }
        const double v = *image.value(f.name);
        std::cout << "  " << f.name << " = ";
        if (f.kind == settings::FieldKind::CheckBox) {
            std::cout << (v != 0 ? "checked" : "unchecked");
        } else if (f.kind == settings::FieldKind::Choice) {
            const auto items = settings::SettingsImage::items(f.name);
            const auto index = static_cast<std::size_t>(v);
            std::cout << index;
            if (index < items.size())
                std::cout << " (\"" << items[index] << "\")";
        } else {
            std::cout << numberText(v);
        }
        std::cout << '\n';
    }
    for (const auto& t : tables) {
        if (!blockPresent(t.block, version))
            continue;
        std::cout << '\n' << t.name << ":";
        int column = 0;
        for (const double v : tableValues(t))
            std::cout << (column++ % 16 == 0 ? "\n  " : " ") << numberText(v);
        std::cout << '\n';
    }
    std::cout << "\ncalibration:";
    int column = 0;
    for (const auto w : image.calibrationWords())
        std::cout << (column++ % 16 == 0 ? "\n  " : " ") << w;
    std::cout << '\n';
    return kExitOk;
}

int usage(const std::string& message) {
    std::cerr << "etcctl: " << message << "\nTry 'etcctl --help'.\n";
    return kExitRefused;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("etcctl");

    QCommandLineParser parser;
    const QCommandLineOption portOption("port", "Serial port.", "NAME");
    const QCommandLineOption simulateOption("simulate", "Use the simulated module.");
    const QCommandLineOption imageOption("image", "Simulated module memory.", "FILE");
    const QCommandLineOption durationOption("duration", "Seconds to monitor.", "SECONDS");
    const QCommandLineOption csvOption("csv", "CSV file.", "FILE");
    const QCommandLineOption outputOption(QStringList{"o", "output"}, "Settings file to write.", "FILE");
    const QCommandLineOption ignoreNewerOption("ignore-newer", "Go on with a newer module.");
    const QCommandLineOption ignoreMismatchOption("ignore-mismatch", "Go on when the versions differ.");
    const QCommandLineOption verifyOption("verify", "Read every written block back.");
    const QCommandLineOption jsonOption("json", "JSON output.");
    const QCommandLineOption helpOption(QStringList{"h", "help"}, "Help.");
    parser.addOptions({portOption, simulateOption, imageOption, durationOption, csvOption, outputOption,
                       ignoreNewerOption, ignoreMismatchOption, verifyOption, jsonOption, helpOption});
    parser.addPositionalArgument("command", "info, monitor, upload, download or show");
    if (!parser.parse(app.arguments()))
        return usage(parser.errorText().toStdString());

    const QStringList positional = parser.positionalArguments();
    Options o;
    o.command = positional.isEmpty() ? std::string() : positional.first().toStdString();
    if (parser.isSet(helpOption)) {
        const std::string& c = o.command;
        std::cout << (c == "info"       ? kInfoHelp
                      : c == "monitor"  ? kMonitorHelp
                      : c == "upload"   ? kUploadHelp
                      : c == "download" ? kDownloadHelp
                      : c == "show"     ? kShowHelp
                                        : kGeneralHelp);
        return kExitOk;
    }
    if (o.command.empty())
        return usage("no command given");
    const bool takesFile = o.command == "download" || o.command == "show";
    if (positional.size() > (takesFile ? 2 : 1))
        return usage("unexpected argument '" + positional.last().toStdString() + "'");
    if (takesFile) {
        if (positional.size() < 2)
            return usage(o.command + " needs a settings file");
        o.file = positional[1].toStdString();
    }
    if (o.command != "info" && o.command != "monitor" && o.command != "upload" && !takesFile)
        return usage("unknown command '" + o.command + "'");

    auto only = [&](const QCommandLineOption& option, std::initializer_list<const char*> commands) {
        if (!parser.isSet(option))
            return true;
        for (const char* c : commands)
            if (o.command == c)
                return true;
        return false;
    };
    if (!only(durationOption, {"monitor"}) || !only(csvOption, {"monitor"}))
        return usage("--duration and --csv belong to the monitor command");
    if (!only(outputOption, {"upload"}))
        return usage("-o belongs to the upload command");
    if (!only(ignoreNewerOption, {"upload", "download"}))
        return usage("--ignore-newer belongs to upload and download");
    if (!only(ignoreMismatchOption, {"download"}) || !only(verifyOption, {"download"}))
        return usage("--ignore-mismatch and --verify belong to the download command");
    if (!only(jsonOption, {"show"}))
        return usage("--json belongs to the show command");

    o.json = parser.isSet(jsonOption);
    if (o.command == "show") {
        if (parser.isSet(portOption) || parser.isSet(simulateOption))
            return usage("show reads a file only");
        return show(o);
    }

    o.simulate = parser.isSet(simulateOption);
    if (o.simulate == parser.isSet(portOption))
        return usage("give either --port NAME or --simulate");
    if (parser.isSet(imageOption) && !o.simulate)
        return usage("--image belongs to --simulate");
    o.port = parser.value(portOption).toStdString();
    o.image = parser.value(imageOption).toStdString();
    o.csv = parser.value(csvOption).toStdString();
    o.output = parser.value(outputOption).toStdString();
    o.ignoreNewer = parser.isSet(ignoreNewerOption);
    o.ignoreMismatch = parser.isSet(ignoreMismatchOption);
    o.verify = parser.isSet(verifyOption);
    if (o.command == "upload" && o.output.empty())
        return usage("upload needs -o FILE");
    if (parser.isSet(durationOption)) {
        bool ok = false;
        const double d = parser.value(durationOption).toDouble(&ok);
        if (!ok || d <= 0 || d > 1e6)
            return usage("--duration needs a number of seconds greater than 0");
        o.seconds = d;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFd) != 0) {
        std::perror("etcctl: socketpair");
        return kExitFailed;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    Ctl ctl(app, o);
    if (!ctl.setupError().empty()) {
        std::cerr << "etcctl: " << ctl.setupError() << '\n';
        return kExitRefused;
    }
    if (o.command == "info")
        return ctl.info();
    if (o.command == "monitor")
        return ctl.monitor();
    if (o.command == "upload")
        return ctl.upload();
    return ctl.download();
}
