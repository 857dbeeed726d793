// The turn display through the Qt serial stack against cartel-virtual on a pseudo-terminal.
#include <gtest/gtest.h>

#include "platform/scripted_dialogs.h"
#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "tests/e2e/e2e_bench.h"

namespace letrador::testing {
namespace {

using cartel::FormatEntry;
using cartel::Recording;

const std::vector<std::string> kCleanTurnLog = {
    "Usando puerto COM 5.",           "Reconociendo modelo de cartel...",
    "Cartel electrónico compatible.", "Comenzando grabación...",
    "Finalizando grabación...",       "La grabación se realizó sin errores.",
    "Grabación finalizada.",
};

// Records the whole turn display in `style`; the record of the sign.
VirtualSignProcess::Record RecordStyle(E2eBench& bench, int style) {
    Turnero turnero(bench.grabador);
    EXPECT_TRUE(turnero.GrabarTurnero(style, bench.portText));
    EXPECT_EQ(bench.view.lines(), kCleanTurnLog);
    return bench.sign.stop();
}

void ExpectAllEntries(const VirtualSignProcess::Record& rec, int style) {
    ASSERT_TRUE(rec.decoded) << rec.listing;
    ASSERT_EQ(rec.decoded->recordings.size(), 1u);
    const Recording& r = rec.decoded->recordings[0];
    ASSERT_EQ(r.kind, Recording::Kind::TurnDisplay);
    EXPECT_TRUE(r.closed);
    EXPECT_EQ(r.turn.style, style);
    ASSERT_EQ(r.turn.entries.size(), 100u);
    for (int n = 0; n < 100; ++n) {
        EXPECT_EQ(r.turn.entries[n].number, n);
        EXPECT_TRUE(r.turn.entries[n].complete);
    }
}

TEST(E2eTurnero, Style1FirstEntryAndCount) {
    E2eBench bench;
    ASSERT_TRUE(bench.startSign());
    const auto rec = RecordStyle(bench, 1);
    ASSERT_EQ(rec.bytes.size(), kOpening.size() + 1500 + kClosing.size());
    EXPECT_EQ(Bytes(rec.bytes.begin(), rec.bytes.begin() + 4), kOpening);
    EXPECT_EQ(Bytes(rec.bytes.begin() + 4, rec.bytes.begin() + 19),
              (Bytes{0x3E, 0x7F, 0x63, 0x63, 0x7F, 0x3E, 0x80, 0x3E, 0x7F, 0x63, 0x63, 0x7F, 0x3E,
                     0xD0, 0xC9}));
    EXPECT_EQ(Bytes(rec.bytes.end() - 3, rec.bytes.end()), kClosing);
    const auto labels = bench.percentLabels();
    ASSERT_EQ(labels.size(), 100u);
    EXPECT_EQ(labels.front(), "Grabando: 00% completado.");
    EXPECT_EQ(labels.back(), "Grabando: 99% completado.");
    ExpectAllEntries(rec, 1);
}

TEST(E2eTurnero, Style2Entry17AndCount) {
    E2eBench bench;
    ASSERT_TRUE(bench.startSign());
    const auto rec = RecordStyle(bench, 2);
    ASSERT_EQ(rec.bytes.size(), kOpening.size() + 1100 + kClosing.size());
    const auto at = rec.bytes.begin() + 4 + 17 * 11;
    EXPECT_EQ(Bytes(at, at + 11),
              (Bytes{0x80, 0x80, 0x80, 0x7F, 0x80, 0x01, 0x01, 0x01, 0x7F, 0xD0, 0xC9}));
    ExpectAllEntries(rec, 2);
    EXPECT_EQ(FormatEntry(rec.decoded->recordings[0].turn.entries[17]),
              "17 80 80 80 7F 80 01 01 01 7F");
}

TEST(E2eTurnero, Style3Count) {
    E2eBench bench;
    ASSERT_TRUE(bench.startSign());
    const auto rec = RecordStyle(bench, 3);
    ASSERT_EQ(rec.bytes.size(), kOpening.size() + 1300 + kClosing.size());
    ExpectAllEntries(rec, 3);
    // The two irregular cells: 2 begins with a dark column, 4 ends with 7E.
    EXPECT_EQ(FormatEntry(rec.decoded->recordings[0].turn.entries[24]),
              "24 80 62 51 49 46 80 0F 08 08 08 7E");
}

TEST(E2eTurnero, TimeOutAtEntry42) {
    // Entry 42 of style 1 begins at byte 4 + 42 * 15 = 634; its tens digit ends at 639.
    E2eBench bench(5, {"--silencio-solo", "639"});
    ASSERT_TRUE(bench.startSign());
    Turnero turnero(bench.grabador);
    EXPECT_FALSE(turnero.GrabarTurnero(1, bench.portText));
    EXPECT_EQ(bench.view.lines(), (std::vector<std::string>{
                                      "Usando puerto COM 5.",
                                      "Reconociendo modelo de cartel...",
                                      "Cartel electrónico compatible.",
                                      "Comenzando grabación...",
                                      "Error de Timeout.",
                                      "Hubo errores en la grabación.",
                                      "Grabación finalizada.",
                                  }));
    const auto labels = bench.percentLabels();
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels.back(), "Grabando: 41% completado.");
    EXPECT_EQ(bench.view.progress(), "Grabación finalizada.");

    const auto rec = bench.sign.stop();
    EXPECT_EQ(rec.bytes.size(), 640u);
    ASSERT_TRUE(rec.decoded);
    const Recording& r = rec.decoded->recordings.at(0);
    EXPECT_FALSE(r.closed);
    ASSERT_EQ(r.turn.entries.size(), 43u);
    EXPECT_EQ(r.turn.entries[41].number, 41);
    EXPECT_TRUE(r.turn.entries[41].complete);
    EXPECT_EQ(FormatEntry(r.turn.entries[42]), "-- 0F 0F 08 08 7F 7F incompleta");
}

TEST(E2eTurnero, CompareErrorOfAnEarlierRecordingDoesNotSpoilIt) {
    // Byte 5 is the first text byte of the message below (7F); it gets a wrong echo.
    E2eBench bench(5, {"--eco-erroneo", "5"});
    ASSERT_TRUE(bench.startSign());
    OpcionesGrabacion o;
    o.textoPuerto = bench.portText;
    EXPECT_TRUE(RecordWholeMessage(bench.grabador, {{U"<4>H", bench.font, 1, false}}, o));
    EXPECT_EQ(bench.view.lines().at(5), "Error de comparación. E: 127 R: 126");
    EXPECT_EQ(bench.view.lines().at(7), "Hubo errores en la grabación.");
    ASSERT_TRUE(bench.puerto.ErrorGrabacion);

    Turnero turnero(bench.grabador);
    EXPECT_TRUE(turnero.GrabarTurnero(2, bench.portText));
    EXPECT_EQ(bench.view.lines(), kCleanTurnLog);

    const auto rec = bench.sign.stop();
    ASSERT_TRUE(rec.decoded);
    ASSERT_EQ(rec.decoded->recordings.size(), 2u);
    EXPECT_EQ(rec.decoded->recordings[0].kind, Recording::Kind::Message);
    EXPECT_TRUE(rec.decoded->recordings[0].closed);
    EXPECT_EQ(rec.decoded->recordings[1].kind, Recording::Kind::TurnDisplay);
    EXPECT_EQ(rec.decoded->recordings[1].turn.entries.size(), 100u);
    EXPECT_TRUE(rec.decoded->recordings[1].closed);
}

TEST(E2eTurnero, NoToTheQuestionSendsNothing) {
    E2eBench bench;
    ASSERT_TRUE(bench.startSign());
    platform::ScriptedDialogs dialogs;
    dialogs.answerNext(false);
    EXPECT_FALSE(GrabarTurneroConfirmado(dialogs, bench.grabador, 1, bench.portText));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].isQuestion);
    EXPECT_EQ(dialogs.shown[0].title, "Grabación de turnero");
    EXPECT_EQ(bench.view.log().text(), "");
    EXPECT_TRUE(bench.view.progressHistory().empty());
    EXPECT_TRUE(bench.sign.stop().bytes.empty());
}

TEST(E2eTurnero, YesToTheQuestionRecordsTheStyleAsked) {
    E2eBench bench;
    ASSERT_TRUE(bench.startSign());
    platform::ScriptedDialogs dialogs;
    dialogs.answerNext(true);
    EXPECT_TRUE(GrabarTurneroConfirmado(dialogs, bench.grabador, 3, bench.portText));
    EXPECT_EQ(bench.view.lines(), kCleanTurnLog);
    const auto rec = bench.sign.stop();
    EXPECT_EQ(rec.bytes.size(), kOpening.size() + 1300 + kClosing.size());
}

}  // namespace
}  // namespace letrador::testing
