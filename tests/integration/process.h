// Child processes for the integration tests: etcsim serving a pseudo-terminal, etcctl runs with their
// output captured.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace etc::itest {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line))
        out.push_back(line);
    return out;
}

inline pid_t spawn(const std::vector<std::string>& argv, int outFd, int errFd) {
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

struct RunResult {
    int exitCode = -1;  // -1: did not end in time (then killed)
    std::string out;
    std::string err;
    double seconds = 0;
};

// Runs a program to its end, at most `limit`.
inline RunResult run(const std::vector<std::string>& argv,
                     std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    char outPath[] = "/tmp/etc_itest_outXXXXXX";
    char errPath[] = "/tmp/etc_itest_errXXXXXX";
    const int outFd = mkstemp(outPath);
    const int errFd = mkstemp(errPath);
    RunResult r;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = spawn(argv, outFd, errFd);
    if (pid > 0) {
        int status = 0;
        while (true) {
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() - start > limit) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(outFd);
    close(errFd);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    unlink(outPath);
    unlink(errPath);
    return r;
}

// etcsim on a pseudo-terminal for the lifetime of this object.
class Simulator {
  public:
    // `errorPath`: where its standard error goes (its request log with "--log"); empty: nowhere.
    explicit Simulator(std::vector<std::string> options = {}, const std::string& errorPath = {}) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        std::vector<std::string> argv{ETCSIM_PATH};
        argv.insert(argv.end(), options.begin(), options.end());
        const int errFd = errorPath.empty() ? open("/dev/null", O_WRONLY)
                                            : open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        m_pid = spawn(argv, fds[1], errFd);
        close(fds[1]);
        close(errFd);
        // The first line of its output is the device path.
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            m_path += c;
        m_pipe = fds[0];
    }
    ~Simulator() {
        stop();
        if (m_pipe >= 0)
            close(m_pipe);
    }
    void stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    [[nodiscard]] const std::string& path() const { return m_path; }

  private:
    pid_t m_pid = -1;
    int m_pipe = -1;
    std::string m_path;
};

}  // namespace etc::itest
