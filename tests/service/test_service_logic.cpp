// The service's plain parts: the programme file and its rule, the counters, names, the login
// limit and the LED picture.
#include <gtest/gtest.h>

#include "message/sign_preview.h"
#include "service/counters.h"
#include "service/guard.h"
#include "service/led_picture.h"
#include "service/names.h"
#include "service/programme.h"

namespace letrador::service {
namespace {

struct LineCase {
    const char* name;
    const char* line;
    const char* canonical;  // "" when it is no entry
    const char* error;      // part of the error, "" when none
};

class ProgrammeLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ProgrammeLineTest, ReadsEntryOrNamesTheProblem) {
    const LineCase& c = GetParam();
    std::string error;
    const auto entry = ParseEntry(c.line, error);
    EXPECT_EQ(entry ? entry->line() : "", c.canonical);
    if (*c.error == '\0') {
        EXPECT_EQ(error, "");
    } else {
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProgrammeLineTest,
    ::testing::Values(
        LineCase{"Weekdays", "lu-vi 08:00 3,7 horario.fmv", "lu-vi 08:00 3,7 horario.fmv", ""},
        LineCase{"DaysListedAndSpaces", "  lu,ma,mi\t13:30  5  oferta del día.fmv ", "lu-mi 13:30 5 oferta del día.fmv", ""},
        LineCase{"EveryDay", "lu-do 00:00 255 a.fmv", "todos 00:00 255 a.fmv", ""},
        LineCase{"Todos", "todos 23:59 1 a.FMV", "todos 23:59 1 a.FMV", ""},
        LineCase{"TwoApart", "sa,lu 10:00 1 a.fmv", "lu,sa 10:00 1 a.fmv", ""},
        LineCase{"Comment", "# lu-vi 08:00 3 a.fmv", "", ""},
        LineCase{"Blank", "   ", "", ""},
        LineCase{"UnknownDay", "lun 08:00 3 a.fmv", "", "días no válidos «lun»"},
        LineCase{"BackwardRange", "vi-lu 08:00 3 a.fmv", "", "días no válidos"},
        LineCase{"Hour", "lu 25:00 3 a.fmv", "", "hora no válida «25:00»"},
        LineCase{"ShortHour", "lu 8:00 3 a.fmv", "", "hora no válida"},
        LineCase{"PortZero", "lu 08:00 0 a.fmv", "", "carteles no válidos «0»"},
        LineCase{"PortTwice", "lu 08:00 3,3 a.fmv", "", "sin repetir"},
        LineCase{"NotAMessage", "lu 08:00 3 a.txt", "", "nombre de mensaje no válido"},
        LineCase{"PathUp", "lu 08:00 3 ../a.fmv", "", "nombre de mensaje no válido"},
        LineCase{"Absolute", "lu 08:00 3 /etc/a.fmv", "", "nombre de mensaje no válido"},
        LineCase{"Missing", "lu 08:00", "", "faltan datos"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgrammeFile, ErrorsCarryTheirLineNumbersAndTheRestIsKept) {
    const Programme p = ParseProgramme("# cabecera\r\nlu-vi 08:00 3 a.fmv\r\nxx 08:00 3 a.fmv\r\n\r\nlu 99:00 3 a.fmv\n");
    EXPECT_EQ(p.entryLines(), std::vector<std::size_t>{1});
    ASSERT_EQ(p.errors().size(), 2u);
    EXPECT_EQ(p.errors()[0].rfind("línea 3: días no válidos", 0), 0u) << p.errors()[0];
    EXPECT_EQ(p.errors()[1].rfind("línea 5: hora no válida", 0), 0u) << p.errors()[1];
    // Written back as it was read: Windows-1252, CR LF, hand-written lines untouched.
    EXPECT_EQ(ComposeProgramme(p), "# cabecera\r\nlu-vi 08:00 3 a.fmv\r\nxx 08:00 3 a.fmv\r\n\r\nlu 99:00 3 a.fmv\r\n");
    const Programme accented = ParseProgramme("lu 08:00 3 a\xF1o.fmv");
    ASSERT_TRUE(accented.lines[0].entry);
    EXPECT_EQ(accented.lines[0].entry->message, "año.fmv");
    EXPECT_NE(ComposeProgramme(accented).find("\r\nlu 08:00 3 a\xF1o.fmv\r\n"), std::string::npos);
}

struct DueCase {
    const char* name;
    const char* programme;
    int weekday, hour, minute;
    const char* ledger;  // ComposeLedger's lines
    std::vector<DueRecording> due;
};

class DueTest : public ::testing::TestWithParam<DueCase> {};

TEST_P(DueTest, LatestEntryOfTodayPerSignNotYetRecorded) {
    const DueCase& c = GetParam();
    CivilTime now;
    now.year = 2024, now.month = 5, now.day = 6 + c.weekday;  // 2024-05-06 is a Monday
    now.weekday = c.weekday, now.hour = c.hour, now.minute = c.minute;
    const auto due = DueNow(ParseProgramme(c.programme), now, ParseLedger(c.ledger));
    ASSERT_EQ(due.size(), c.due.size());
    for (std::size_t k = 0; k < due.size(); ++k) {
        EXPECT_EQ(due[k].line, c.due[k].line);
        EXPECT_EQ(due[k].ports, c.due[k].ports);
    }
}

constexpr const char* kDay = "lu-vi 08:00 3,7 a.fmv\nlu-vi 13:00 3 b.fmv\nsa 09:00 3 c.fmv\n";
INSTANTIATE_TEST_SUITE_P(
    Rule, DueTest,
    ::testing::Values(
        DueCase{"BeforeAnything", kDay, 0, 7, 59, "", {}},
        DueCase{"AtItsTime", kDay, 0, 8, 0, "", {{0, {3, 7}}}},
        DueCase{"RestartAfterNoonBringsEachSignToNow", kDay, 0, 14, 0, "", {{1, {3}}, {0, {7}}}},
        DueCase{"AlreadyRecordedToday", kDay, 0, 8, 30, "2024-05-06 08:00:01 3 sin-errores lu-vi 08:00 3,7 a.fmv\n"
                                                   "2024-05-06 08:00:01 7 con-errores lu-vi 08:00 3,7 a.fmv\n", {}},
        DueCase{"RecordedYesterdayOnly", kDay, 1, 8, 30, "2024-05-06 08:00:01 3 sin-errores lu-vi 08:00 3,7 a.fmv\n", {{0, {3, 7}}}},
        DueCase{"ClockSetBackNeverRecordsTwice", kDay, 0, 9, 0, "2024-05-06 13:00:00 3 sin-errores lu-vi 13:00 3 b.fmv\n"
                                                          "2024-05-06 08:00:00 3 sin-errores lu-vi 08:00 3,7 a.fmv\n"
                                                          "2024-05-06 08:00:00 7 sin-errores lu-vi 08:00 3,7 a.fmv\n", {}},
        DueCase{"OtherDay", kDay, 5, 10, 0, "", {{2, {3}}}},
        DueCase{"SundayNothing", kDay, 6, 23, 59, "", {}},
        DueCase{"SameTimeLaterLineWins", "lu 08:00 3 a.fmv\nlu 08:00 3 b.fmv\n", 0, 8, 0, "", {{1, {3}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Ledger, ReadsBackWhatItWrote) {
    RunLedger l;
    l[{"lu-vi 08:00 3,7 a b.fmv", 7}] = {"2024-05-06", "08:00:03", Verdict::CouldNotOpen};
    l[{"todos 09:00 3 c.fmv", 3}] = {"2024-05-07", "09:00:00", std::nullopt};
    const RunLedger back = ParseLedger(ComposeLedger(l));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back.at({"lu-vi 08:00 3,7 a b.fmv", 7}).verdict, Verdict::CouldNotOpen);
    EXPECT_EQ(back.at({"todos 09:00 3 c.fmv", 3}).verdict, std::nullopt);
    EXPECT_EQ(back.at({"todos 09:00 3 c.fmv", 3}).date, "2024-05-07");
}

TEST(Counters, PressesWrapAndTheFileKeepsThem) {
    EXPECT_EQ(NumberAfter(7, Press::Next), 8);
    EXPECT_EQ(NumberAfter(99, Press::Next), 0);
    EXPECT_EQ(NumberAfter(0, Press::Previous), 99);
    EXPECT_EQ(NumberAfter(42, Press::Repeat), 42);
    const std::vector<Counter> counters{{"Caja 1", 3, 2, 41}, {"Mostrador ñ", 255, 3, 0}};
    const std::string bytes = ComposeCounters(counters);
    EXPECT_NE(bytes.find("Mostrador \xF1;255;3;0\r\n"), std::string::npos);
    std::vector<std::string> errors;
    const auto back = ParseCounters(bytes + "roto;3;4;1\r\n", &errors);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].name, "Mostrador ñ");
    EXPECT_EQ(back[0].number, 41);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("línea 4:", 0), 0u);
    EXPECT_NE(CounterNameProblem("a;b"), "");
    EXPECT_NE(CounterNameProblem(""), "");
}

TEST(Names, OnlyPlainFileNamesOfTheirFolder) {
    for (const char* good : {"horario.fmv", "Oferta del día.FMV", "a b-c_1.fmv"}) EXPECT_TRUE(ValidMessageName(good)) << good;
    for (const char* bad : {"../x.fmv", "/etc/x.fmv", "a/b.fmv", "a\\b.fmv", ".fmv", ".oculto.fmv", "x..fmv", "x.txt", ""})
        EXPECT_FALSE(ValidMessageName(bad)) << bad;
    EXPECT_TRUE(ValidFontName("normal.ffv"));
    EXPECT_FALSE(ValidFontName("../../etc/passwd"));
    EXPECT_FALSE(ValidFontName("normal.fmv"));
}

TEST(LoginLimit, SixthFailureInAMinuteIsBlockedUntilTheMinutePasses) {
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

TEST(Password, OnlyTheHashIsKeptAndOnlyItsOwnerReadsIt) {
    const auto hash = HashPassword("secreto-1");
    ASSERT_TRUE(hash);
    EXPECT_EQ(hash->rfind("$argon2id$", 0), 0u);
    EXPECT_TRUE(PasswordMatches(*hash, "secreto-1"));
    EXPECT_FALSE(PasswordMatches(*hash, "secreto-2"));
    const auto file = std::filesystem::temp_directory_path() / ("clave-" + RandomToken()) / "clave";
    ASSERT_TRUE(SavePasswordHash(file, *hash, nullptr));
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(LoadPasswordHash(file), hash);
    std::filesystem::remove_all(file.parent_path());
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
            EXPECT_EQ(r.at(l.dotCentreX(c), PictureLayout::dotCentreY(row)),
                      DotLit(p.columns[c], row) ? kPictureLit : kPictureDark)
                << c << "," << row;
    const int mid = PictureLayout::dotCentreY(3);
    EXPECT_EQ(r.at(l.markX[0] + PictureGeometry::kMarkWidth / 2, mid), kPictureEffect);
    EXPECT_EQ(r.at(l.markX[1] + PictureGeometry::kMarkWidth / 2, mid), kPictureMissing);
    EXPECT_LT(l.markX[0], l.columnX[2]);
    EXPECT_GT(l.markX[0], l.columnX[1]);
    const std::string png = EncodePng(r);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(static_cast<unsigned char>(png[19]), r.width & 0xFF);
}

}  // namespace
}  // namespace letrador::service
