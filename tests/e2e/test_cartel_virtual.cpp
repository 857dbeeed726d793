// cartel-virtual as a program: its options, its link, its record, its ending.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs cartel-virtual with `args` to its end (it must end by itself within 5 s).
ProgramRun RunToEnd(const std::vector<std::string>& args) {
    ScratchFolder scratch;
    const std::string outPath = (scratch.path() / "out").string();
    const std::string errPath = (scratch.path() / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> all{LETRADOR_CARTEL_VIRTUAL_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    ProgramRun run;
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, all[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    for (int k = 0; k < 500; ++k) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
            pid = -1;
            break;
        }
        ::usleep(10000);
    }
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    run.out = VirtualSignProcess::FileText(outPath);
    run.err = VirtualSignProcess::FileText(errPath);
    return run;
}

// A client of the sign's port, as a serial program opens it.
class Client {
  public:
    explicit Client(const std::filesystem::path& port) {
        fd_ = ::open(port.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~Client() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    // Sends `b`; the reply, or -1 when none came within `waitMs`.
    int exchange(std::uint8_t b, int waitMs = 1000) {
        if (::write(fd_, &b, 1) != 1) return -1;
        return readOne(waitMs);
    }
    // The next byte that comes in within `waitMs`, or -1.
    int readOne(int waitMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, waitMs) <= 0) return -1;
        std::uint8_t r = 0;
        return ::read(fd_, &r, 1) == 1 ? r : -1;
    }
    std::vector<int> exchange(const Bytes& bytes) {
        std::vector<int> out;
        for (auto b : bytes) out.push_back(exchange(b));
        return out;
    }

  private:
    int fd_ = -1;
};

TEST(CartelVirtual, HelpInSpanish) {
    for (const char* opt : {"--ayuda", "--help"}) {
        const ProgramRun run = RunToEnd({opt});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out.rfind("Uso: cartel-virtual", 0), 0u) << run.out;
        for (const char* word :
             {"--enlace RUTA", "--registro ARCHIVO", "--silencio N", "--silencio-solo N",
              "--tarde N:MS", "--eco-erroneo N", "--otro-modelo", "--rechazar-inicio",
              "--tcp PUERTO", "--rfc2217"}) {
            EXPECT_NE(run.out.find(word), std::string::npos) << word;
        }
    }
}

TEST(CartelVirtual, WrongOptionsEndWithCode2) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--nada"},
                                                 {"--silencio"},
                                                 {"--tarde", "5"},
                                                 {"--eco-erroneo", "3:300"},
                                                 {"--tcp", "70000"},
                                                 {"--rfc2217"}}) {
        const ProgramRun run = RunToEnd(args);
        EXPECT_EQ(run.exitCode, 2) << args[0];
        EXPECT_NE(run.err.find("cartel-virtual: "), std::string::npos);
        EXPECT_TRUE(run.out.empty());
    }
}

TEST(CartelVirtual, LinkReplacedAndRemoved) {
    ScratchFolder work;
    const auto link = work.path() / "puertos" / "COM9";
    std::filesystem::create_directories(link.parent_path());
    std::ofstream(link) << "/dev/ttyS0\n";
    VirtualSignProcess sign(work.path(), 9);
    ASSERT_TRUE(sign.start());
    EXPECT_EQ(sign.device().rfind("/dev/pts/", 0), 0u) << sign.device();
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sign.device());
    const auto rec = sign.stop();
    EXPECT_EQ(rec.exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(CartelVirtual, ClientsMayCloseAndReopen) {
    ScratchFolder work;
    VirtualSignProcess sign(work.path(), 9);
    ASSERT_TRUE(sign.start());
    {
        Client c(sign.linkPath());
        ASSERT_TRUE(c.ok());
        EXPECT_EQ(c.exchange({0xC3, 0x01}), (std::vector<int>{0xC4, 0x5A}));
    }
    {
        Client c(sign.linkPath());
        ASSERT_TRUE(c.ok());
        EXPECT_EQ(c.exchange({0xC3, 0x02, 0x7E, 0xC9, 0xD2, 0xC5}),
                  (std::vector<int>{0xC4, 0xC4, 0x7E, 0xC9, 0xD2, 0xC4}));
    }
    const auto rec = sign.stop();
    EXPECT_EQ(rec.bytes, (Bytes{0xC3, 0x01, 0xC3, 0x02, 0x7E, 0xC9, 0xD2, 0xC5}));
}

TEST(CartelVirtual, RecordIsWrittenWhenARecordingEnds) {
    ScratchFolder work;
    VirtualSignProcess sign(work.path(), 9);
    ASSERT_TRUE(sign.start());
    Client c(sign.linkPath());
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c.exchange({0xC3, 0x01, 0xC3, 0x02, 0xC8, 0x7F, 0xC9, 0xC9, 0xD2}).back(), 0xD2);
    // The last byte's reply came after the sign had written the listing.
    EXPECT_EQ(c.exchange(0xC5), 0xC4);
    const auto listing = cartel::ParseListing(VirtualSignProcess::FileText(sign.recordPath()));
    ASSERT_TRUE(listing);
    ASSERT_EQ(listing->recordings.size(), 1u);
    EXPECT_TRUE(listing->recordings[0].closed);
    EXPECT_EQ(cartel::FormatParagraph(listing->recordings[0].paragraphs.at(0)), "<3> 7F separador");
    // The raw bytes are there as they come.
    EXPECT_EQ(VirtualSignProcess::FileText(sign.recordPath().string() + ".bin").size(), 10u);
    sign.stop();
}

TEST(CartelVirtual, AQuietSpellEndsAnAbandonedRecording) {
    ScratchFolder work;
    VirtualSignProcess sign(work.path(), 9, {"--reposo", "200"});
    ASSERT_TRUE(sign.start());
    Client c(sign.linkPath());
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c.exchange({0xC3, 0x01, 0xC3, 0x02, 0x7F}).back(), 0x7F);
    // Inside a recording an attention is a column like any other.
    EXPECT_EQ(c.exchange(0xC3), 0xC3);
    ::usleep(300000);
    EXPECT_EQ(c.exchange({0xC3, 0x01}), (std::vector<int>{0xC4, 0x5A}));
    const auto rec = sign.stop();
    ASSERT_TRUE(rec.decoded);
    ASSERT_EQ(rec.decoded->recordings.size(), 2u);
    EXPECT_FALSE(rec.decoded->recordings[0].closed);
}

TEST(CartelVirtual, LateReplyLeavesWhenDue) {
    ScratchFolder work;
    VirtualSignProcess sign(work.path(), 9, {"--tarde", "0:300"});
    ASSERT_TRUE(sign.start());
    Client c(sign.linkPath());
    ASSERT_TRUE(c.ok());
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(c.exchange(0xC3, 150), -1);
    EXPECT_EQ(c.readOne(1000), 0xC4);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(290));
    // The next reply is on time again.
    EXPECT_EQ(c.exchange(0x01, 100), 0x5A);
    sign.stop();
}

TEST(CartelVirtual, EndsOnSigintWithItsRecord) {
    ScratchFolder work;
    VirtualSignProcess sign(work.path(), 9);
    ASSERT_TRUE(sign.start());
    {
        Client c(sign.linkPath());
        ASSERT_TRUE(c.ok());
        EXPECT_EQ(c.exchange(0xC3), 0xC4);
    }
    ASSERT_TRUE(sign.sendSignal(SIGINT));
    const auto rec = sign.stop();
    EXPECT_EQ(rec.exitCode, 0);
    EXPECT_EQ(rec.bytes, (Bytes{0xC3}));
    ASSERT_TRUE(rec.decoded) << rec.listing;
    EXPECT_EQ(rec.decoded->received, 1);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(sign.linkPath())));
}

}  // namespace
}  // namespace letrador::testing
