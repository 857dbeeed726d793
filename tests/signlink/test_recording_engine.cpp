// The recording engine over scripted signs and simulated time: what each sign receives, the
// events a front end hears, each sign's verdict as a value, and a stop.
#include <gtest/gtest.h>

#include "platform/scripted_link_thread.h"
#include "signlink/recording_engine.h"
#include "signlink/turnero_digits.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {
namespace {

using Lines = std::vector<std::string>;
using platform::ScriptedSerialLink;

// Everything a front end hears, sign by sign.
struct Heard {
    std::vector<RecordingLog> logs;
    std::vector<std::vector<int>> percents;
    std::vector<std::optional<Verdict>> verdicts;
    std::optional<event::JobEnded> end;
    int eventsAfterEnd = 0;
    std::function<void(const event::LogLine&)> onLine;

    EventSink sink() {
        return [this](const RecordingEvent& e) {
            if (end) ++eventsAfterEnd;
            if (const auto* l = std::get_if<event::LogLine>(&e)) {
                grow(l->sign);
                logs[l->sign].AgregarLog(l->text, l->newLine);
                if (onLine) onLine(*l);
            } else if (const auto* p = std::get_if<event::Progress>(&e)) {
                grow(p->sign);
                if (p->percent >= 0) percents[p->sign].push_back(p->percent);
            } else if (const auto* v = std::get_if<event::SignEnded>(&e)) {
                grow(v->sign);
                verdicts[v->sign] = v->verdict;
            } else {
                end = std::get<event::JobEnded>(e);
            }
        };
    }
    void grow(std::size_t sign) {
        if (logs.size() <= sign) {
            logs.resize(sign + 1);
            percents.resize(sign + 1);
            verdicts.resize(sign + 1);
        }
    }
    Lines lines(std::size_t sign) const { return logs.at(sign).lines(); }
};

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override { WriteFont(font, {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"I", {0x7F}}}); }
    WholeMessage message(std::vector<std::u32string> texts) const {
        WholeMessage m;
        for (auto& t : texts) m.parrafos.push_back({t, font, 1, false});
        return m;
    }

    ScratchFolder scratch;
    std::string font = (scratch.path() / "f.ffv").string();
    platform::ScriptedSigns signs;
    Heard heard;
};

const std::string kGood = "La grabación se realizó sin errores.",
                  kBad = "Hubo errores en la grabación.", kEnd = "Grabación finalizada.",
                  kStopped = "Grabación detenida por el operador.";

TEST_F(EngineTest, OneSignGetsTheWholeMessageAndTheFrontEndHearsEveryLineAndTheVerdict) {
    signs.script = [](std::size_t, ScriptedSerialLink& l) { l.setResponder(CompatibleSign()); };
    RecordingEngine engine(signs.maker());
    auto run = engine.start({message({U"AI", U"I"}), {"3"}}, heard.sink());
    ASSERT_TRUE(run->ended());
    EXPECT_EQ(heard.logs[0].text(),
              "Usando puerto COM 3.\r\nReconociendo dispositivo...\r\n"
              "Cartel electrónico compatible.\r\nComenzando grabación...\r\n"
              "Grabando párrafo 1 de 2... OK.\r\nGrabando párrafo 2 de 2... OK.\r\n"
              "Finalizando grabación...\r\nLa grabación se realizó sin errores.\r\n"
              "Grabación finalizada.");
    EXPECT_EQ(heard.percents[0], (std::vector<int>{50, 100, 100}));
    EXPECT_EQ(heard.verdicts[0], Verdict::Clean);
    ASSERT_TRUE(heard.end);
    EXPECT_EQ(heard.end->verdicts, std::vector<Verdict>{Verdict::Clean});
    EXPECT_EQ(heard.eventsAfterEnd, 0);
    const Bytes& wire = signs.signs[0]->link.written;
    const Bytes body = {0x7E, 0x09, 0x09, 0x7E, 0x80, 0x7F, 0x80, 0xC9, 0x7F, 0x80, 0xC9};
    Bytes expected = kCleanOpening;
    expected.insert(expected.end(), body.begin(), body.end());
    expected.insert(expected.end(), kCleanClosing.begin(), kCleanClosing.end());
    EXPECT_EQ(wire, expected);
    EXPECT_EQ(signs.signs[0]->link.openedPorts, std::vector<int>{3});
    EXPECT_FALSE(signs.signs[0]->link.isOpen());
    EXPECT_FALSE(engine.busy("3"));
}

// Four signs in one job, each on its own line: each ends its own way, and the job's end lists
// every verdict in the order of the ports.
TEST_F(EngineTest, SeveralSignsEachWithItsOwnLineAndVerdict) {
    signs.script = [](std::size_t k, ScriptedSerialLink& l) {
        l.setResponder(CompatibleSign());
        if (k == 1) {  // one echo differs while the text goes
            for (auto b : kCleanOpening) l.queue(ScriptedSerialLink::Reply(b == 0x01 ? 0x5A : 0xC4));
            l.queue(ScriptedSerialLink::Reply(0x00));
        }
        if (k == 2) l.setOpenablePorts({});
        if (k == 3) {  // unplugged after the opening
            for (auto b : kCleanOpening) l.queue(ScriptedSerialLink::Reply(b == 0x01 ? 0x5A : 0xC4));
            l.queue(ScriptedSerialLink::Reply(0x7E));
            l.queue(ScriptedSerialLink::Lost(2));
        }
    };
    RecordingEngine engine(signs.maker());
    engine.start({message({U"A"}), {"3", "7", "12", "200"}}, heard.sink());
    ASSERT_TRUE(heard.end);
    EXPECT_EQ(heard.end->verdicts, (std::vector<Verdict>{Verdict::Clean, Verdict::Errors,
                                                         Verdict::CouldNotOpen, Verdict::LinkLost}));
    const char* ports[] = {"3", "7", "12", "200"};
    for (std::size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(ports[k]);
        const Lines lines = heard.lines(k);
        EXPECT_EQ(lines.front(), std::string("Usando puerto COM ") + ports[k] + ".");
        EXPECT_EQ(lines[lines.size() - 2], std::string(VerdictLine(*heard.verdicts[k])));
        EXPECT_EQ(lines.back(), kEnd);
        EXPECT_EQ(heard.verdicts[k], heard.end->verdicts[k]);
        EXPECT_EQ(signs.signs[k]->link.triedPorts, std::vector<int>{std::stoi(ports[k])});
    }
    EXPECT_EQ(heard.lines(1)[4], "Grabando párrafo 1 de 1...");
    EXPECT_EQ(heard.lines(1)[5], "Error de comparación. E: 126 R: 0");
    EXPECT_EQ(heard.lines(2)[2], "No se pudo abrir el puerto COM 12: el dispositivo no existe");
    EXPECT_TRUE(signs.signs[2]->link.written.empty());
    EXPECT_NE(std::find(heard.lines(3).begin(), heard.lines(3).end(),
                        "Se perdió la conexión con el puerto COM 200."),
              heard.lines(3).end());
    EXPECT_EQ(signs.signs[3]->link.written.size(), kCleanOpening.size() + 2);
    EXPECT_EQ(signs.signs[0]->link.written.size(), kCleanOpening.size() + 6 + kCleanClosing.size());
}

// A stop asked for at some line: the next exchange is never made, the port closes, and the log
// ends with the verdict and the stop line, whatever was under way.
TEST_F(EngineTest, AStoppedSignEndsAtItsNextExchange) {
    struct Case {
        const char* name;
        std::string stopAtLine;  // the stop is asked for when this line is heard
        bool silentSign;
        WhatToRecord what;
        Lines lastLines;
    };
    const std::vector<Case> cases = {
        {"while a paragraph goes", "Grabando párrafo 1 de 2...", false, message({U"AI", U"I"}),
         {"Grabando párrafo 1 de 2...", kBad, kStopped}},
        {"between retries of a silent sign", "  -Reintento 1 de 3", true, message({U"A"}),
         {"Error de Timeout.", "  -Reintento 1 de 3", kBad, kStopped}},
        {"in a turn display", "Comenzando grabación...", false, TurnDisplay{2, std::nullopt},
         {"Comenzando grabación...", kBad, kStopped}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::ScriptedSigns rigs;
        rigs.script = [&](std::size_t, ScriptedSerialLink& l) {
            if (c.silentSign) {
                l.setResponder([](std::uint8_t) { return ScriptedSerialLink::Silence(); });
            } else {
                l.setResponder(CompatibleSign());
            }
        };
        Heard h;
        RecordingEngine engine(rigs.maker());
        std::size_t bytesAtStop = 0;
        h.onLine = [&](const event::LogLine& l) {
            if (l.text != c.stopAtLine || bytesAtStop != 0) return;
            engine.stopAll();
            bytesAtStop = rigs.signs[0]->link.written.size();
        };
        engine.start({c.what, {"3"}}, h.sink());
        ASSERT_TRUE(h.end);
        EXPECT_EQ(h.end->verdicts, std::vector<Verdict>{Verdict::Stopped});
        const Lines lines = h.lines(0);
        ASSERT_GE(lines.size(), c.lastLines.size());
        EXPECT_EQ(Lines(lines.end() - static_cast<long>(c.lastLines.size()), lines.end()),
                  c.lastLines);
        EXPECT_FALSE(rigs.signs[0]->link.isOpen());
        EXPECT_EQ(rigs.signs[0]->link.written.size(), bytesAtStop) << "sent after the stop";
    }
}

TEST_F(EngineTest, OneTurnNumberIsOneEntryBetweenTheOpeningAndTheClosing) {
    signs.script = [](std::size_t, ScriptedSerialLink& l) { l.setResponder(CompatibleSign()); };
    RecordingEngine engine(signs.maker());
    engine.start({TurnDisplay{2, 17}, {"3"}}, heard.sink());
    Bytes expected = kCleanOpening;
    for (Bytes part : {Bytes{0x80, 0x80, 0x80, 0x7F}, Bytes{0x80}, Bytes{0x01, 0x01, 0x01, 0x7F},
                       Bytes{0xD0, 0xC9}, kCleanClosing}) {
        expected.insert(expected.end(), part.begin(), part.end());
    }
    EXPECT_EQ(signs.signs[0]->link.written, expected);
    EXPECT_EQ(heard.percents[0], std::vector<int>{17});
    EXPECT_EQ(heard.verdicts[0], Verdict::Clean);
}

TEST_F(EngineTest, AJobWithoutSignsEndsAtOnce) {
    RecordingEngine engine(signs.maker());
    auto run = engine.start({message({U"A"}), {}}, heard.sink());
    EXPECT_TRUE(run->ended());
    ASSERT_TRUE(heard.end);
    EXPECT_TRUE(heard.end->verdicts.empty());
    EXPECT_TRUE(signs.signs.empty());
}

}  // namespace
}  // namespace letrador::testing
