// cartel-virtual as a program: its options, its link, clients that come and go, its ending.
#include <gtest/gtest.h>

#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {
namespace {

TEST(CartelVirtual, HelpInSpanishAndWrongOptionsEndWithCode2) {
    for (const auto& [args, code] : std::initializer_list<std::pair<std::vector<std::string>, int>>{
             {{"--ayuda"}, 0}, {{"--help"}, 0}, {{"--nada"}, 2}, {{"--silencio"}, 2}, {{"--tarde", "5"}, 2},
             {{"--eco-erroneo", "3:300"}, 2}, {{"--tcp", "70000"}, 2}, {{"--rfc2217"}, 2}}) {
        const auto run = VirtualSignProcess::RunToEnd(args);
        EXPECT_EQ(run.exitCode, code) << args[0];
        EXPECT_EQ(run.out.rfind("Uso: cartel-virtual", 0) == 0, code == 0) << run.out;
        EXPECT_EQ(run.err.rfind("cartel-virtual: ", 0) == 0, code == 2) << run.err;
    }
}

// It replaces what stood at its link, answers each client that opens the port in turn, keeps the
// raw bytes and the listing, and on SIGINT ends with code 0 and takes its link away.
TEST(CartelVirtual, LinksItsPortAnswersClientsInTurnAndEndsOnSigint) {
    ScratchFolder work;
    const auto link = work.path() / "puertos" / "COM9";
    std::filesystem::create_directories(link.parent_path());
    std::ofstream(link) << "/dev/ttyS0\n";
    VirtualSignProcess sign(work.path(), 9);
    ASSERT_TRUE(sign.start());
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sign.device());
    EXPECT_EQ(ExchangeWithSign(link, {0xC3, 0x01, 0xC3, 0x02, 0xC8, 0x7F, 0xC9}, 1000),
              (std::vector<int>{0xC4, 0x5A, 0xC4, 0xC4, 0xC8, 0x7F, 0xC9}));
    EXPECT_EQ(ExchangeWithSign(link, {0xC9, 0xD2, 0xC5}, 1000), (std::vector<int>{0xC9, 0xD2, 0xC4}));
    ASSERT_TRUE(sign.sendSignal(SIGINT));
    const auto rec = sign.stop();
    EXPECT_EQ(rec.exitCode, 0);
    EXPECT_EQ(rec.bytes.size(), 10u);
    ASSERT_TRUE(rec.decoded) << rec.listing;
    ASSERT_EQ(rec.decoded->recordings.size(), 1u);
    EXPECT_TRUE(rec.decoded->recordings[0].closed);
    EXPECT_EQ(cartel::FormatParagraph(rec.decoded->recordings[0].paragraphs.at(0)), "<3> 7F separador");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

}  // namespace
}  // namespace letrador::testing
