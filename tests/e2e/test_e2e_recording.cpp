// Message recordings through the Qt serial stack against cartel-virtual on a pseudo-terminal:
// what goes over the line, byte for byte, and what the log says when the sign misbehaves.
#include <gtest/gtest.h>

#include <filesystem>

#include "signlink/recording_commands.h"
#include "tests/e2e/e2e_bench.h"

namespace letrador::testing {
namespace {

using cartel::FormatParagraph;
using cartel::Recording;

// "<4>HE A" with separation 2, then "I<A>I<3>" with none.
std::vector<ParrafoAGrabar> TwoParagraphs(const std::string& font) {
    return {{U"<4>HE A", font, 2, false}, {U"I<A>I<3>", font, 0, false}};
}

// Their text bytes: the tag, H and its separation, E with its inner dark column sent as 80 and
// its separation, three blank columns for the space, A and its separation; I, the two bytes of
// "A", I, the code of "3".
const Bytes kParagraph1 = {0xCA, 0x7F, 0x08, 0x08, 0x7F, 0x80, 0x80, 0x7F, 0x49, 0x80, 0x49, 0x41,
                           0x80, 0x80, 0x80, 0x80, 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80};
const Bytes kParagraph2 = {0x7F, 0xC9, 0xD1, 0x7F, 0xC8};
const char* const kParagraph1Items =
    "<4> 7F 08 08 7F 80 80 7F 49 80 49 41 80 80 80 80 80 7E 09 09 7E 80 80";
const char* const kParagraph2Items = "7F <A> 7F <3>";

OpcionesGrabacion Options(const std::string& port, bool joined) {
    OpcionesGrabacion o;
    o.textoPuerto = port;
    o.joined = joined;
    o.spaceWidth = 3;
    return o;
}

TEST(E2eRecording, CleanTwoParagraphsSeparated) {
    E2eBench bench;
    ASSERT_TRUE(bench.startSign());
    EXPECT_TRUE(RecordWholeMessage(bench.grabador, TwoParagraphs(bench.font),
                                   Options(bench.portText, false)));
    EXPECT_EQ(bench.view.lines(), (std::vector<std::string>{
                                      "Usando puerto COM 5.",
                                      "Reconociendo dispositivo...",
                                      "Cartel electrónico compatible.",
                                      "Comenzando grabación...",
                                      "Grabando párrafo 1 de 2... OK.",
                                      "Grabando párrafo 2 de 2... OK.",
                                      "Finalizando grabación...",
                                      "La grabación se realizó sin errores.",
                                      "Grabación finalizada.",
                                  }));
    EXPECT_FALSE(bench.link.isOpen());

    const auto rec = bench.sign.stop();
    EXPECT_EQ(rec.exitCode, 0);
    EXPECT_EQ(rec.bytes, Cat({kOpening, kParagraph1, {0xC9}, kParagraph2, {0xC9}, kClosing}));
    ASSERT_TRUE(rec.decoded) << rec.listing;
    ASSERT_EQ(rec.decoded->recordings.size(), 1u);
    const Recording& r = rec.decoded->recordings[0];
    EXPECT_EQ(r.kind, Recording::Kind::Message);
    EXPECT_EQ(r.attentions, 2);
    EXPECT_TRUE(r.closed);
    ASSERT_EQ(r.paragraphs.size(), 2u);
    EXPECT_EQ(FormatParagraph(r.paragraphs[0]), std::string(kParagraph1Items) + " separador");
    EXPECT_EQ(FormatParagraph(r.paragraphs[1]), std::string(kParagraph2Items) + " separador");
}

TEST(E2eRecording, JoinedParagraphsGoWithoutSeparator) {
    E2eBench bench;
    ASSERT_TRUE(bench.startSign());
    EXPECT_TRUE(RecordWholeMessage(bench.grabador, TwoParagraphs(bench.font),
                                   Options(bench.portText, true)));
    EXPECT_EQ(bench.view.lines().at(7), "La grabación se realizó sin errores.");
    const auto rec = bench.sign.stop();
    EXPECT_EQ(rec.bytes, Cat({kOpening, kParagraph1, kParagraph2, kClosing}));
    ASSERT_TRUE(rec.decoded);
    const Recording& r = rec.decoded->recordings.at(0);
    ASSERT_EQ(r.paragraphs.size(), 1u);
    EXPECT_EQ(FormatParagraph(r.paragraphs[0]),
              std::string(kParagraph1Items) + " " + kParagraph2Items);
}

TEST(E2eRecording, SilentLineRetriesThreeTimes) {
    E2eBench bench(5, {"--silencio", "0"});
    ASSERT_TRUE(bench.startSign());
    EXPECT_FALSE(RecordWholeMessage(bench.grabador, TwoParagraphs(bench.font),
                                    Options(bench.portText, false)));
    EXPECT_EQ(bench.view.lines(), (std::vector<std::string>{
                                      "Usando puerto COM 5.",
                                      "Reconociendo dispositivo...",
                                      "Error de Timeout.",
                                      "  -Reintento 1 de 3",
                                      "Error de Timeout.",
                                      "  -Reintento 2 de 3",
                                      "Error de Timeout.",
                                      "  -Reintento 3 de 3",
                                      "Error: reintentos superados.",
                                      "Hubo errores en la grabación.",
                                      "Grabación finalizada.",
                                  }));
    const auto rec = bench.sign.stop();
    EXPECT_EQ(rec.bytes, (Bytes{0xC3, 0xC3, 0xC3}));
    ASSERT_TRUE(rec.decoded);
    ASSERT_EQ(rec.decoded->recordings.size(), 1u);
    EXPECT_EQ(rec.decoded->recordings[0].attentions, 3);
    EXPECT_FALSE(rec.decoded->recordings[0].modelQueried);
    EXPECT_FALSE(rec.decoded->recordings[0].started);
}

TEST(E2eRecording, AnotherModelIsNotRetried) {
    E2eBench bench(5, {"--otro-modelo"});
    ASSERT_TRUE(bench.startSign());
    EXPECT_FALSE(RecordWholeMessage(bench.grabador, TwoParagraphs(bench.font),
                                    Options(bench.portText, false)));
    EXPECT_EQ(bench.view.lines(), (std::vector<std::string>{
                                      "Usando puerto COM 5.",
                                      "Reconociendo dispositivo...",
                                      "Error: el modelo de cartel no coincide.",
                                      "Hubo errores en la grabación.",
                                      "Grabación finalizada.",
                                  }));
    EXPECT_EQ(bench.sign.stop().bytes, (Bytes{0xC3, 0x01}));
}

TEST(E2eRecording, RefusedStartEndsTheOpening) {
    E2eBench bench(5, {"--rechazar-inicio"});
    ASSERT_TRUE(bench.startSign());
    EXPECT_FALSE(RecordWholeMessage(bench.grabador, TwoParagraphs(bench.font),
                                    Options(bench.portText, false)));
    EXPECT_EQ(bench.view.lines(), (std::vector<std::string>{
                                      "Usando puerto COM 5.",
                                      "Reconociendo dispositivo...",
                                      "Cartel electrónico compatible.",
                                      "Comenzando grabación...",
                                      "Hubo errores en la grabación.",
                                      "Grabación finalizada.",
                                  }));
    EXPECT_EQ(bench.sign.stop().bytes, kOpening);
}

TEST(E2eRecording, EchoMismatchIsLoggedAndTheRecordingGoesOn) {
    // Byte 5 is the first column of H (7F); the sign answers 7E.
    E2eBench bench(5, {"--eco-erroneo", "5"});
    ASSERT_TRUE(bench.startSign());
    EXPECT_TRUE(RecordWholeMessage(bench.grabador, TwoParagraphs(bench.font),
                                   Options(bench.portText, false)));
    EXPECT_EQ(bench.view.lines(), (std::vector<std::string>{
                                      "Usando puerto COM 5.",
                                      "Reconociendo dispositivo...",
                                      "Cartel electrónico compatible.",
                                      "Comenzando grabación...",
                                      "Grabando párrafo 1 de 2...",
                                      "Error de comparación. E: 127 R: 126",
                                      "Grabando párrafo 2 de 2... OK.",
                                      "Finalizando grabación...",
                                      "Hubo errores en la grabación.",
                                      "Grabación finalizada.",
                                  }));
    EXPECT_TRUE(bench.puerto.ErrorGrabacion);
    // The sign received everything; only its answer was wrong.
    EXPECT_EQ(bench.sign.stop().bytes,
              Cat({kOpening, kParagraph1, {0xC9}, kParagraph2, {0xC9}, kClosing}));
}

TEST(E2eRecording, TimeOutInsideAParagraphStopsTheRecording) {
    // Byte 13 is the dark third column of E (80); nothing is answered from there on.
    E2eBench bench(5, {"--silencio", "13"});
    ASSERT_TRUE(bench.startSign());
    EXPECT_FALSE(RecordWholeMessage(bench.grabador, TwoParagraphs(bench.font),
                                    Options(bench.portText, false)));
    EXPECT_EQ(bench.view.lines(), (std::vector<std::string>{
                                      "Usando puerto COM 5.",
                                      "Reconociendo dispositivo...",
                                      "Cartel electrónico compatible.",
                                      "Comenzando grabación...",
                                      "Grabando párrafo 1 de 2...",
                                      "Error de Timeout.",
                                      "Error: caracter 5 (E) no se grabó correctamente.",
                                      "Hubo errores en la grabación.",
                                      "Grabación finalizada.",
                                  }));
    EXPECT_FALSE(bench.link.isOpen());
    const auto rec = bench.sign.stop();
    EXPECT_EQ(rec.bytes, Cat({kOpening, Bytes(kParagraph1.begin(), kParagraph1.begin() + 10)}));
    ASSERT_TRUE(rec.decoded);
    const Recording& r = rec.decoded->recordings.at(0);
    EXPECT_FALSE(r.closed);
    ASSERT_EQ(r.paragraphs.size(), 1u);
    EXPECT_EQ(FormatParagraph(r.paragraphs[0]), "<4> 7F 08 08 7F 80 80 7F 49 80");
}

TEST(E2eRecording, LateButTimelyReplyIsAccepted) {
    // The start acknowledge comes 400 ms late, inside the wait.
    E2eBench bench(5, {"--tarde", "3:400"});
    ASSERT_TRUE(bench.startSign());
    EXPECT_TRUE(RecordCurrentParagraph(bench.grabador, U"HA", U"", bench.font, 1,
                                       Options(bench.portText, false)));
    EXPECT_EQ(bench.view.lines().at(4), "Grabando párrafo actual...OK");
    EXPECT_EQ(bench.view.lines().at(6), "La grabación se realizó sin errores.");
    EXPECT_EQ(
        bench.sign.stop().bytes,
        Cat({kOpening, {0x7F, 0x08, 0x08, 0x7F, 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80}, kClosing}));
}

TEST(E2eRecording, PartialRecordsTheSelectionThenTheWholeParagraph) {
    E2eBench bench;
    ASSERT_TRUE(bench.startSign());
    // "&Parcial" with "E A" selected in "<4>HE A": only the selection, no OK mark, no separator.
    EXPECT_TRUE(RecordCurrentParagraph(bench.grabador, U"<4>HE A", U"E A", bench.font, 1,
                                       Options(bench.portText, false)));
    EXPECT_EQ(bench.view.lines(), (std::vector<std::string>{
                                      "Usando puerto COM 5.",
                                      "Reconociendo dispositivo...",
                                      "Cartel electrónico compatible.",
                                      "Comenzando grabación...",
                                      "Grabando selección: E A",
                                      "Finalizando grabación...",
                                      "La grabación se realizó sin errores.",
                                      "Grabación finalizada.",
                                  }));
    // Then without a selection, on the same sign: the whole paragraph and its OK.
    EXPECT_TRUE(RecordCurrentParagraph(bench.grabador, U"I<3>", U"", bench.font, 1,
                                       Options(bench.portText, false)));
    EXPECT_EQ(bench.view.lines().at(4), "Grabando párrafo actual...OK");
    EXPECT_EQ(bench.view.lines().at(6), "La grabación se realizó sin errores.");

    const auto rec = bench.sign.stop();
    const Bytes selection = {0x7F, 0x49, 0x80, 0x49, 0x41, 0x80, 0x80,
                             0x80, 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80};
    EXPECT_EQ(rec.bytes,
              Cat({kOpening, selection, kClosing, kOpening, {0x7F, 0x80, 0xC8}, kClosing}));
    ASSERT_TRUE(rec.decoded);
    ASSERT_EQ(rec.decoded->recordings.size(), 2u);
    EXPECT_EQ(FormatParagraph(rec.decoded->recordings[0].paragraphs.at(0)),
              "7F 49 80 49 41 80 80 80 80 7E 09 09 7E 80");
    EXPECT_EQ(FormatParagraph(rec.decoded->recordings[1].paragraphs.at(0)), "7F 80 <3>");
    EXPECT_TRUE(rec.decoded->recordings[1].closed);
}

TEST(E2eRecording, PortThatCannotBeOpened) {
    // The sign's link goes with it, and port 200 has no device of its own.
    E2eBench bench(200);
    ASSERT_TRUE(bench.startSign());
    ASSERT_FALSE(PortDevicePath(bench.work.path(), 200).empty());
    bench.sign.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(bench.sign.linkPath())));
    EXPECT_EQ(PortDevicePath(bench.work.path(), 200), "");

    EXPECT_FALSE(
        RecordWholeMessage(bench.grabador, TwoParagraphs(bench.font), Options("200", false)));
    EXPECT_EQ(bench.view.lines(), (std::vector<std::string>{
                                      "Usando puerto COM 200.",
                                      "Reconociendo dispositivo...",
                                      "No se pudo abrir el puerto COM 200: no existe el "
                                      "dispositivo del puerto COM 200",
                                      "Hubo errores en la grabación.",
                                      "Grabación finalizada.",
                                  }));
    // A mapping to a device that is not there.
    std::filesystem::create_symlink(bench.work.path() / "no-hay",
                                    bench.work.path() / "puertos" / "COM201");
    EXPECT_FALSE(
        RecordWholeMessage(bench.grabador, TwoParagraphs(bench.font), Options("201", false)));
    const auto again = bench.view.lines();
    ASSERT_EQ(again.size(), 5u);
    EXPECT_EQ(again[2].rfind("No se pudo abrir el puerto COM 201: ", 0), 0u) << again[2];
    EXPECT_EQ(again[3], "Hubo errores en la grabación.");
    EXPECT_FALSE(bench.link.isOpen());
}

}  // namespace
}  // namespace letrador::testing
