// etcconf itself in real time, on the offscreen platform: against etcsim on a pseudo-terminal it
// connects and polls within a few seconds; with --simulate it runs and ends by itself.
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "gui_rig.h"
#include "gui_tests.h"
#include "process.h"

namespace etc::guitest {

namespace {

itest::RunResult runProgram(const std::vector<std::string>& argv, std::chrono::seconds limit) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return itest::run(argv, limit);
}

// etcsim with --log for the lifetime of this object; its log goes to a file.
class LoggingSimulator {
  public:
    LoggingSimulator() : m_log((m_dir.path / "etcsim.log").string()), m_sim({"--log"}, m_log) {}

    void stop() { m_sim.stop(); }
    [[nodiscard]] const std::string& path() const { return m_sim.path(); }
    // Log lines of requests the module heard that contain the speed and first bytes given.
    [[nodiscard]] int heard(const std::string& baudAndBytes) const {
        std::istringstream log(itest::readFile(m_log));
        int count = 0;
        for (std::string line; std::getline(log, line);) {
            if (line.find(baudAndBytes) != std::string::npos && line.find("not heard") == std::string::npos)
                ++count;
        }
        return count;
    }
    [[nodiscard]] std::string log() const { return itest::readFile(m_log); }

  private:
    TempDir m_dir;
    std::string m_log;
    itest::Simulator m_sim;
};

}  // namespace

class RealTimeTest : public QObject {
    Q_OBJECT
  private slots:
    void connectsToEtcsimAndPollsWithinSeconds() {
        LoggingSimulator sim;
        QVERIFY2(sim.path().rfind("/dev/", 0) == 0, sim.path().c_str());
        const auto run = runProgram({ETCCONF_PATH, "-O", "--port", sim.path(), "--quit-after-seconds", "5"},
                                    std::chrono::seconds(30));
        sim.stop();
        QVERIFY2(run.exitCode == 0, run.err.c_str());
        // The handshake and the upload ran, then live-data polls at 115200 baud.
        QCOMPARE(sim.heard("  9600 56"), 1);                        // "V"
        QVERIFY2(sim.heard("115200 5A") >= 18, sim.log().c_str());  // "Z" block reads
        QVERIFY2(sim.heard("115200 2A") >= 5, sim.log().c_str());   // "*" polls
    }

    void simulatedModuleRunsAndTheProgramEndsByItself() {
        const auto run = runProgram({ETCCONF_PATH, "--simulate", "-O", "--quit-after-seconds", "1.5"},
                                    std::chrono::seconds(20));
        QVERIFY2(run.exitCode == 0, run.err.c_str());
    }

    void badArgumentsEndWithUsage() {
        const auto run = runProgram({ETCCONF_PATH, "--port"}, std::chrono::seconds(20));
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.find("--port needs a value") != std::string::npos);
        const auto help = runProgram({ETCCONF_PATH, "--help"}, std::chrono::seconds(20));
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.find("--simulate") != std::string::npos);
    }
};

std::unique_ptr<QObject> makeRealTimeTest() {
    return std::make_unique<RealTimeTest>();
}

}  // namespace etc::guitest

#include "real_time_test.moc"
