// etcctl against etcsim over a real pseudo-terminal, in real time.
#include <gtest/gtest.h>

#include <cstdlib>

#include "process.h"

using namespace etc::itest;

namespace {

const std::string kCtl = ETCCTL_PATH;

TEST(EtcctlOverPty, InfoRunsTheHandshakeAndPrintsTheModulesIdentity) {
    Simulator sim({"--version", "1EA1AB1AB", "--serial", "654321", "--master", "3", "--user", "2"});
    ASSERT_FALSE(sim.path().empty());
    const auto r = run({kCtl, "--port", sim.path(), "info"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(lines(r.out),
              (std::vector<std::string>{"version: 1EA1AB1AB", "serial: 654321", "master: 3", "user: 2"}));
    EXPECT_LT(r.seconds, 2.0);
}

TEST(EtcctlOverPty, DroppedReplyIsRecoveredByTheResend) {
    Simulator sim({"--fault", "drop:S:1"});
    const auto r = run({kCtl, "--port", sim.path(), "info"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(lines(r.out).size(), 4u);
    EXPECT_EQ(lines(r.out)[1], "serial: 123456");
    // The lost reply costs one reply time-out of 540 ms.
    EXPECT_GT(r.seconds, 0.6);
}

TEST(EtcctlOverPty, MonitorPrintsAndRecordsLiveFrames) {
    Simulator sim({"--fault", "drop:*:3"});
    char csv[] = "/tmp/etc_itest_csvXXXXXX";
    const int fd = mkstemp(csv);
    close(fd);
    const auto r = run({kCtl, "--port", sim.path(), "monitor", "--duration", "1.5", "--csv", csv});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto printed = lines(r.out);
    const auto rows = lines(readFile(csv));
    unlink(csv);
    // About 1.3 s of polling at one frame per ~128 ms, less the one lost reply.
    EXPECT_GE(printed.size(), 7u);
    ASSERT_EQ(rows.size(), printed.size() + 1);
    EXPECT_EQ(rows[0].rfind("time_s,engine_speed_rpm,", 0), 0u);
    EXPECT_NE(printed[0].find("bat 13.5 V"), std::string::npos) << printed[0];
}

TEST(EtcctlOverPty, SilentModuleEndsOfflineAfterSixFailures) {
    // A pseudo-terminal that nobody answers on.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string path = ptsname(master);
    const auto r = run({kCtl, "--port", path, "info"});
    close(master);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Errors: 6"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    // 80 ms step, then six reply time-outs of 540 ms.
    EXPECT_GT(r.seconds, 3.2);
    EXPECT_LT(r.seconds, 5.0);
}

TEST(EtcctlOverPty, PortThatCannotBeOpenedAndBadArguments) {
    const auto noPort = run({kCtl, "--port", "/dev/etc-no-such-port", "info"});
    EXPECT_EQ(noPort.exitCode, 1);
    EXPECT_NE(noPort.err.find("COM port not available or USB kabel not connected !!!"), std::string::npos)
        << noPort.err;

    const std::vector<std::vector<std::string>> bad{
        {kCtl},
        {kCtl, "--simulate"},
        {kCtl, "--simulate", "frobnicate"},
        {kCtl, "info"},
        {kCtl, "--simulate", "--port", "X", "info"},
        {kCtl, "--simulate", "monitor", "--duration", "soon"},
        {kCtl, "--simulate", "info", "--csv", "x.csv"},
        {kCtl, "--simulate", "--bogus", "info"},
    };
    for (const auto& argv : bad) {
        const auto r = run(argv);
        EXPECT_EQ(r.exitCode, 2) << argv.size() << " " << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    const auto help = run({kCtl, "monitor", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--duration SECONDS"), std::string::npos);
}

TEST(EtcctlOverPty, SimulateNeedsNoHardware) {
    const auto r = run({kCtl, "--simulate", "info"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(lines(r.out).front(), "version: 1EA1AB1AA");
}

}  // namespace
