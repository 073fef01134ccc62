// etcctl upload, download and show against etcsim over a pseudo-terminal, in real time.
#include <gtest/gtest.h>

#include <fstream>

#include "process.h"
#include "settings_support.h"

using namespace etc::itest;

namespace {

const std::string kCtl = ETCCTL_PATH;

struct TempFiles {
    std::string dir;
    TempFiles() {
        char tmpl[] = "/tmp/etc_itest_dirXXXXXX";
        dir = mkdtemp(tmpl);
    }
    ~TempFiles() { std::filesystem::remove_all(dir); }
    std::string path(const std::string& name) const { return dir + "/" + name; }
};

// A module memory with varied settings, written as an etcsim image (words high byte first).
etc::sim::Memory writeImage(const std::string& path, unsigned seed) {
    etc::settings::SettingsImage image;
    etc::test::varyImage(image, seed);
    const etc::sim::Memory memory = etc::test::memoryOf(image);
    std::ofstream out(path, std::ios::binary);
    for (const auto w : memory) {
        out.put(static_cast<char>(w >> 8));
        out.put(static_cast<char>(w & 0xFF));
    }
    return memory;
}

std::uint16_t fileWord(const std::string& bytes, std::size_t word) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[2 * word]) |
                                      static_cast<unsigned char>(bytes[2 * word + 1]) << 8);
}

TEST(SettingsOverPty, UploadSavesTheModulesMemoryWordForWord) {
    TempFiles files;
    const auto memory = writeImage(files.path("module.bin"), 5);
    Simulator sim({"--image", files.path("module.bin")});
    const auto r = run({kCtl, "--port", sim.path(), "upload", "-o", files.path("up.e00")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string bytes = readFile(files.path("up.e00"));
    ASSERT_EQ(bytes.size(), 2062u);
    for (std::size_t a = 0; a < 1024; ++a) {
        if (a >= 579 && a < 896)
            continue;  // the gap is never read
        EXPECT_EQ(fileWord(bytes, 6 + a), memory[a]) << "module word " << a;
    }
    const auto shown = run({kCtl, "show", files.path("up.e00"), "--json"});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("\"version\": \"1EA1AB1AA\""), std::string::npos);
    EXPECT_NE(shown.out.find("\"calibration\": ["), std::string::npos);
    EXPECT_NE(shown.out.find("\"openloop_idle\": ["), std::string::npos);
}

TEST(SettingsOverPty, DownloadWithVerifyWritesEveryBlock) {
    TempFiles files;
    writeImage(files.path("source.bin"), 9);
    {
        Simulator source({"--image", files.path("source.bin")});
        ASSERT_EQ(run({kCtl, "--port", source.path(), "upload", "-o", files.path("s.e00")}).exitCode, 0);
    }
    Simulator blank;
    const auto r = run({kCtl, "--port", blank.path(), "download", files.path("s.e00"), "--verify"});
    EXPECT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("downloaded and verified"), std::string::npos) << r.out;
}

TEST(SettingsOverPty, VersionMismatchIsRefusedUnlessIgnored) {
    TempFiles files;
    {
        Simulator source;
        ASSERT_EQ(run({kCtl, "--port", source.path(), "upload", "-o", files.path("s.e00")}).exitCode, 0);
    }
    Simulator other({"--version", "4EA1AB1AA"});
    const auto refused = run({kCtl, "--port", other.path(), "download", files.path("s.e00")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("The file does not match the current system!!!"), std::string::npos)
        << refused.err;
    const auto ignored =
        run({kCtl, "--port", other.path(), "download", files.path("s.e00"), "--ignore-mismatch"});
    EXPECT_EQ(ignored.exitCode, 0) << ignored.err;
    EXPECT_NE(ignored.err.find("After downloading, upload data (System -> PC)"), std::string::npos)
        << ignored.err;
}

TEST(SettingsOverPty, UserLevelOneCannotUpload) {
    TempFiles files;
    Simulator sim({"--user", "1"});
    const auto r = run({kCtl, "--port", sim.path(), "upload", "-o", files.path("x.e00")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("user level 1 cannot read settings"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(files.path("x.e00")));
}

TEST(SettingsOverPty, NewerModuleStopsTheUploadUnlessIgnored) {
    TempFiles files;
    Simulator sim({"--version", "1EA1AC1AA"});
    const auto refused = run({kCtl, "--port", sim.path(), "upload", "-o", files.path("n.e00")});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("ECU is newer then the PC software"), std::string::npos);
    const auto ignored =
        run({kCtl, "--port", sim.path(), "upload", "-o", files.path("n.e00"), "--ignore-newer"});
    EXPECT_EQ(ignored.exitCode, 0) << ignored.err;
}

}  // namespace
