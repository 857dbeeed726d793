// cartel-virtual as a program: its options, its link, its record, its ending.
#include <gtest/gtest.h>

#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CartelVirtual, HelpInSpanishAndWrongOptionsEndWithCode2) {
    const std::string help = "Uso: cartel-virtual";
    const struct {
        std::vector<std::string> args;
        int code;
    } cases[] = {{{"--ayuda"}, 0}, {{"--help"}, 0}, {{"--nada"}, 2}, {{"--silencio"}, 2},
                 {{"--tarde", "5"}, 2}, {{"--eco-erroneo", "3:300"}, 2}, {{"--tcp", "70000"}, 2},
                 {{"--rfc2217"}, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const auto run = VirtualSignProcess::RunToEnd(c.args);
        EXPECT_EQ(run.exitCode, c.code);
        if (c.code == 0) {
            EXPECT_EQ(run.out.rfind(help, 0), 0u) << run.out;
            for (const char* word : {"--enlace RUTA", "--registro ARCHIVO", "--silencio N",
                                     "--silencio-solo N", "--tarde N:MS", "--eco-erroneo N",
                                     "--otro-modelo", "--rechazar-inicio", "--tcp PUERTO",
                                     "--rfc2217", "--reposo"})
                EXPECT_NE(run.out.find(word), std::string::npos) << word;
        } else {
            EXPECT_NE(run.err.find("cartel-virtual: "), std::string::npos);
            EXPECT_TRUE(run.out.empty());
        }
    }
}

std::vector<int> Exchange(const std::filesystem::path& port, const Bytes& bytes) {
    return ExchangeWithSign(port, bytes, 1000);
}

TEST(CartelVirtual, LinksItsPortAnswersClientsThatReopenRecordsAndEndsOnSigint) {
    ScratchFolder work;
    const auto link = work.path() / "puertos" / "COM9";
    std::filesystem::create_directories(link.parent_path());
    std::ofstream(link) << "/dev/ttyS0\n";
    VirtualSignProcess sign(work.path(), 9, {"--reposo", "400"});
    ASSERT_TRUE(sign.start());
    EXPECT_EQ(sign.device().rfind("/dev/pts/", 0), 0u) << sign.device();
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sign.device());

    EXPECT_EQ(Exchange(link, {0xC3, 0x01}), (std::vector<int>{0xC4, 0x5A}));
    // Inside a recording an attention is a column like any other; a quiet spell ends it.
    EXPECT_EQ(Exchange(link, {0xC3, 0x02, 0x7F, 0xC3}), (std::vector<int>{0xC4, 0xC4, 0x7F, 0xC3}));
    ::usleep(700000);
    EXPECT_EQ(Exchange(link, {0xC3, 0x01, 0xC3, 0x02, 0xC8, 0x7F, 0xC9, 0xC9, 0xD2}),
              (std::vector<int>{0xC4, 0x5A, 0xC4, 0xC4, 0xC8, 0x7F, 0xC9, 0xC9, 0xD2}));
    // The last byte's reply comes after the sign has written the listing.
    EXPECT_EQ(Exchange(link, {0xC5}), std::vector<int>{0xC4});
    const auto listing = cartel::ParseListing(VirtualSignProcess::FileText(sign.recordPath()));
    ASSERT_TRUE(listing);
    ASSERT_EQ(listing->recordings.size(), 2u);
    EXPECT_FALSE(listing->recordings[0].closed);
    EXPECT_TRUE(listing->recordings[1].closed);
    EXPECT_EQ(cartel::FormatParagraph(listing->recordings[1].paragraphs.at(0)), "<3> 7F separador");

    ASSERT_TRUE(sign.sendSignal(SIGINT));
    const auto rec = sign.stop();
    EXPECT_EQ(rec.exitCode, 0);
    EXPECT_EQ(rec.bytes.size(), 16u);  // the raw bytes as they came
    ASSERT_TRUE(rec.decoded) << rec.listing;
    EXPECT_EQ(rec.decoded->received, 16);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

}  // namespace
}  // namespace letrador::testing
