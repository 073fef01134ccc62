// etcconf itself in real time, on the offscreen platform: against etcsim on a pseudo-terminal it
// connects and polls within a few seconds; with --simulate it runs and ends by itself.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gui_rig.h"
#include "gui_tests.h"

extern char** environ;

namespace etc::guitest {

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

pid_t spawnWith(const std::vector<std::string>& argv, int outFd, int errFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

struct Finished {
    int exitCode = -1;  // -1: still running at the limit (then killed)
    std::string out, err;
};

// Runs a program to its end, at most `limit`, with the offscreen platform.
Finished runProgram(const std::vector<std::string>& argv, std::chrono::seconds limit) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TempDir dir;
    const std::string outPath = (dir.path / "out").string(), errPath = (dir.path / "err").string();
    const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Finished f;
    const pid_t pid = spawnWith(argv, outFd, errFd);
    ::close(outFd);
    ::close(errFd);
    if (pid <= 0)
        return f;
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    while (true) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            f.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() - start > limit) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    f.out = readAll(outPath);
    f.err = readAll(errPath);
    return f;
}

// etcsim with --log for the lifetime of this object; its standard error goes to a file.
class LoggingSimulator {
  public:
    LoggingSimulator() {
        m_log = (m_dir.path / "etcsim.log").string();
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        const int errFd = ::open(m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        m_pid = spawnWith({ETCSIM_PATH, "--log"}, fds[1], errFd);
        ::close(fds[1]);
        ::close(errFd);
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            m_path += c;
        m_pipe = fds[0];
    }
    ~LoggingSimulator() {
        stop();
        if (m_pipe >= 0)
            ::close(m_pipe);
    }
    LoggingSimulator(const LoggingSimulator&) = delete;
    LoggingSimulator& operator=(const LoggingSimulator&) = delete;

    void stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }
    [[nodiscard]] const std::string& path() const { return m_path; }
    // Log lines of requests the module heard whose bytes begin with `hexBytes` at the given speed.
    [[nodiscard]] int heard(const std::string& baudAndBytes) const {
        std::istringstream log(readAll(m_log));
        int count = 0;
        for (std::string line; std::getline(log, line);) {
            if (line.find(baudAndBytes) != std::string::npos && line.find("not heard") == std::string::npos)
                ++count;
        }
        return count;
    }
    [[nodiscard]] std::string log() const { return readAll(m_log); }

  private:
    TempDir m_dir;
    std::string m_log;
    std::string m_path;
    pid_t m_pid = -1;
    int m_pipe = -1;
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
