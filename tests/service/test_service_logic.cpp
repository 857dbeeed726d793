// The service's plain parts: the programme's lines and its rule, the counters, names, the login
// limit and the LED picture. The programme file and the ledger are tested through the service.
#include <gtest/gtest.h>

#include "message/sign_preview.h"
#include "service/counters.h"
#include "service/guard.h"
#include "service/led_picture.h"
#include "service/names.h"
#include "service/programme.h"

namespace letrador::service {
namespace {

// Each line an entry, written back in its canonical form, or a problem named for the operator.
TEST(ProgrammeLine, ReadsAnEntryOrNamesTheProblem) {
    const std::tuple<const char*, const char*, const char*> rows[] = {
        // line, its canonical form ("" when it is no entry), part of the problem
        {"lu-vi 08:00 3,7 horario.fmv", "lu-vi 08:00 3,7 horario.fmv", ""},
        {"  lu,ma,mi\t13:30  5  oferta del día.fmv ", "lu-mi 13:30 5 oferta del día.fmv", ""},
        {"lu-do 00:00 255 a.fmv", "todos 00:00 255 a.fmv", ""}, {"todos 23:59 1 a.FMV", "todos 23:59 1 a.FMV", ""},
        {"sa,lu 10:00 1 a.fmv", "lu,sa 10:00 1 a.fmv", ""}, {"# lu-vi 08:00 3 a.fmv", "", ""}, {"   ", "", ""},
        {"lun 08:00 3 a.fmv", "", "días no válidos «lun»"}, {"vi-lu 08:00 3 a.fmv", "", "días no válidos"},
        {"lu 25:00 3 a.fmv", "", "hora no válida «25:00»"}, {"lu 08:60 3 a.fmv", "", "hora no válida"},
        {"lu 8:00 3 a.fmv", "", "hora no válida"}, {"lu 08:00 0 a.fmv", "", "carteles no válidos «0»"},
        {"lu 08:00 256 a.fmv", "", "carteles no válidos"}, {"lu 08:00 3,3 a.fmv", "", "sin repetir"},
        {"lu 08:00 3 a.txt", "", "nombre de mensaje no válido"}, {"lu 08:00 3 ../a.fmv", "", "nombre de mensaje no válido"},
        {"lu 08:00", "", "faltan datos"},
    };
    for (const auto& [line, canonical, problem] : rows) {
        std::string error;
        const auto entry = ParseEntry(line, error);
        EXPECT_EQ(entry ? entry->line() : "", canonical) << line;
        EXPECT_EQ(error.empty(), *problem == '\0') << line << ": " << error;
        EXPECT_TRUE(error.find(problem) != std::string::npos) << line << ": " << error;
    }
}

// Each sign gets the latest entry due today unless it was already recorded into it today.
TEST(ProgrammeRule, TheLatestEntryOfTodayPerSignNotYetRecorded) {
    const char* day = "lu-vi 08:00 3,7 a.fmv\nlu-vi 13:00 3 b.fmv\nsa 09:00 3 c.fmv\n";
    const std::string threeAt8 = "2024-05-06 08:00:01 3 sin-errores lu-vi 08:00 3,7 a.fmv\n";
    const std::string sevenAt8 = "2024-05-06 08:00:01 7 con-errores lu-vi 08:00 3,7 a.fmv\n";
    using Due = std::vector<std::pair<std::size_t, std::vector<int>>>;  // line, ports
    const std::tuple<const char*, const char*, int, int, int, std::string, Due> rows[] = {
        // what, programme, weekday (0 Monday), hour, minute, ledger, due
        {"before anything", day, 0, 7, 59, "", {}}, {"at its time", day, 0, 8, 0, "", {{0, {3, 7}}}},
        {"a restart after noon brings each sign to now", day, 0, 14, 0, "", {{1, {3}}, {0, {7}}}},
        {"already recorded today", day, 0, 8, 30, threeAt8 + sevenAt8, {}},
        {"one sign done", day, 0, 8, 30, threeAt8, {{0, {7}}}},
        {"recorded yesterday only", day, 1, 8, 30, threeAt8 + sevenAt8, {{0, {3, 7}}}},
        {"the clock set back never records twice", day, 0, 9, 0,
         threeAt8 + sevenAt8 + "2024-05-06 13:00:00 3 sin-errores lu-vi 13:00 3 b.fmv\n", {}},
        {"another day", day, 5, 10, 0, "", {{2, {3}}}}, {"Sunday, nothing", day, 6, 23, 59, "", {}},
        {"at the same time the later line", "lu 08:00 3 a.fmv\nlu 08:00 3 b.fmv\n", 0, 8, 0, "", {{1, {3}}}},
    };
    for (const auto& [what, programme, weekday, hour, minute, ledger, expected] : rows) {
        const CivilTime now{2024, 5, 6 + weekday, hour, minute, 0, weekday};  // 2024-05-06 is a Monday
        Due due;
        for (const auto& d : DueNow(ParseProgramme(programme), now, ParseLedger(ledger))) due.emplace_back(d.line, d.ports);
        EXPECT_EQ(due, expected) << what;
    }
}

TEST(Counters, PressesWrapAndTheFileKeepsThem) {
    EXPECT_EQ(std::tuple(NumberAfter(7, Press::Next), NumberAfter(99, Press::Next), NumberAfter(0, Press::Previous),
                         NumberAfter(42, Press::Repeat)), std::tuple(8, 0, 99, 42));
    const std::vector<Counter> counters{{"Caja 1", 3, 2, 41}, {"Mostrador ñ", 255, 3, 0}};
    const std::string bytes = ComposeCounters(counters);
    EXPECT_TRUE(bytes.ends_with("\nCaja 1;3;2;41\r\nMostrador \xF1;255;3;0\r\n")) << bytes;
    std::vector<std::string> errors;
    const auto back = ParseCounters(bytes + "roto;3;4;1\r\n", &errors);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(std::tuple(back[1].name, back[1].port, back[1].style, back[0].number), std::tuple("Mostrador ñ", 255, 3, 41));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("línea 4:", 0), 0u) << errors[0];
    EXPECT_NE(CounterNameProblem("a;b"), "");
    EXPECT_NE(CounterNameProblem(""), "");
    EXPECT_EQ(CounterNameProblem("Caja 1"), "");
}

TEST(Names, OnlyPlainFileNamesOfTheirFolder) {
    for (const char* good : {"horario.fmv", "Oferta del día.FMV", "a b-c_1.fmv"}) EXPECT_TRUE(ValidMessageName(good)) << good;
    for (const char* bad : {"../x.fmv", "/etc/x.fmv", "a/b.fmv", "a\\b.fmv", ".fmv", ".oculto.fmv", "x..fmv", "x.txt", ""})
        EXPECT_FALSE(ValidMessageName(bad)) << bad;
    EXPECT_TRUE(ValidFontName("normal.ffv"));
    for (const char* bad : {"../../etc/passwd", "/etc/x.ffv", "normal.fmv"}) EXPECT_FALSE(ValidFontName(bad)) << bad;
}

// The service answers 429 to the sixth (tested on the process); here, by address and by time.
TEST(LoginLimit, SixthFailureInAMinuteIsBlockedForThatAddressUntilTheMinutePasses) {
    LoginLimiter limiter;
    const auto t0 = LoginLimiter::Clock::now();
    for (int k = 0; k < 5; ++k) {
        EXPECT_FALSE(limiter.blocked("10.0.0.9", t0)) << k;
        limiter.failed("10.0.0.9", t0 + std::chrono::seconds(k));
    }
    EXPECT_TRUE(limiter.blocked("10.0.0.9", t0 + std::chrono::seconds(30)));
    EXPECT_FALSE(limiter.blocked("10.0.0.8", t0 + std::chrono::seconds(30)));
    EXPECT_FALSE(limiter.blocked("10.0.0.9", t0 + std::chrono::seconds(61)));
}

TEST(Picture, EveryDotAsThePreviewSaysAndMarksWhereTagsStand) {
    SignPreview p;
    p.columns = {0x01, 0x80, 0x7F, 0x40};
    p.markers = {PreviewMarker{PreviewMarker::Kind::Effect, 2, 0, U'3', ""},
                 PreviewMarker{PreviewMarker::Kind::Missing, 4, 0, U'€', ""}};
    const Raster r = DrawSignPicture(p);
    const PictureLayout l = LayOut(p);
    ASSERT_EQ(r.width, l.width);
    for (std::size_t c = 0; c < p.columns.size(); ++c)
        for (int row = 0; row < 7; ++row)
            EXPECT_EQ(r.at(l.dotCentreX(c), PictureLayout::dotCentreY(row)), (p.columns[c] >> row) & 1 ? kPictureLit : kPictureDark)
                << c << "," << row;
    const int mid = PictureLayout::dotCentreY(3);
    EXPECT_EQ(r.at(l.markX[0] + PictureGeometry::kMarkWidth / 2, mid), kPictureEffect);
    EXPECT_EQ(r.at(l.markX[1] + PictureGeometry::kMarkWidth / 2, mid), kPictureMissing);
    EXPECT_TRUE(l.markX[0] > l.columnX[1] && l.markX[0] < l.columnX[2]);
    const std::string png = EncodePng(r);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    EXPECT_EQ(static_cast<unsigned char>(png[19]), r.width & 0xFF);
}

}  // namespace
}  // namespace letrador::service
