// The recording engine over scripted signs and simulated time: what each sign receives, the
// events a front end hears, each sign's verdict as a value, a stop, and one job per port.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/scripted_link_thread.h"
#include "signlink/recording_engine.h"
#include "tests/signlink/sign_rig.h"

namespace letrador::testing {
namespace {

using platform::ScriptedSerialLink;

const std::string kBad = "Hubo errores en la grabación.", kStopped = "Grabación detenida por el operador.",
                  kOpened = "Usando puerto COM 3.|Reconociendo dispositivo...|Cartel electrónico compatible.|"
                            "Comenzando grabación...|";

// Everything a front end hears, sign by sign.
struct Heard {
    std::vector<RecordingLog> logs = std::vector<RecordingLog>(8);
    std::vector<std::vector<int>> percents = std::vector<std::vector<int>>(8);
    std::vector<std::optional<Verdict>> verdicts = std::vector<std::optional<Verdict>>(8);
    std::optional<event::JobEnded> end;
    int eventsAfterEnd = 0;
    std::function<void(const event::LogLine&)> onLine;

    EventSink sink() {
        return [this](const RecordingEvent& e) {
            if (end) ++eventsAfterEnd;
            if (const auto* l = std::get_if<event::LogLine>(&e)) {
                logs.at(l->sign).AgregarLog(l->text, l->newLine);
                if (onLine) onLine(*l);
            } else if (const auto* p = std::get_if<event::Progress>(&e)) {
                if (p->percent >= 0) percents.at(p->sign).push_back(p->percent);
            } else if (const auto* v = std::get_if<event::SignEnded>(&e)) {
                verdicts.at(v->sign) = v->verdict;
            } else {
                end = std::get<event::JobEnded>(e);
            }
        };
    }
    std::string log(std::size_t sign) const { return Joined(logs.at(sign).lines()); }
};

class EngineTest : public ::testing::Test {
  protected:
    WholeMessage message(std::vector<std::u32string> texts) const {
        WholeMessage m;
        for (auto& t : texts) m.parrafos.push_back({t, font.path, 1, false});
        return m;
    }
    RoomFont font;
    platform::ScriptedSigns signs;
    Heard heard;
};

// One sign on port 3 for each kind of job, left to end or stopped when some line is heard: what
// it receives, what a front end hears, its verdict. A stopped sign's next exchange is never made,
// its port closes, and its log ends with the verdict and the stop line, whatever was under way.
TEST_F(EngineTest, EachKindOfJobEndedOrStopped) {
    const struct {
        const char* name;
        WhatToRecord what;
        std::string stopAt;  // the stop is asked for when this line is heard; empty: never
        std::string body;    // ended: the bytes between opening and closing; stopped: how the log ends
        std::vector<int> percents = {};
        bool silentSign = false;
    } cases[] = {
        {"whole message", message({U"AI", U"I"}), "", "7E09097E 80 7F 80 C9 7F 80 C9", {50, 100, 100}},
        // The selection, its separation and blanks of two.
        {"current paragraph", CurrentParagraph{U"A I", U"I A", font.path, 1, 2}, "", "7F 80 8080 7E09097E 80",
         {33, 66, 100}},
        {"one turn number", TurnDisplay{2, 17}, "", "8080807F 80 0101017F D0 C9", {17}},
        {"stopped while a paragraph goes", message({U"AI", U"I"}), "Grabando párrafo 1 de 2...",
         "Comenzando grabación...|Grabando párrafo 1 de 2...|"},
        {"stopped between retries of a silent sign", message({U"A"}), "  -Reintento 1 de 3",
         "Reconociendo dispositivo...|Error de Timeout.|  -Reintento 1 de 3|", {}, true},
        {"stopped in a turn display", TurnDisplay{2, std::nullopt}, "Comenzando grabación...",
         "Cartel electrónico compatible.|Comenzando grabación...|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        signs.script = [&](std::size_t, ScriptedSerialLink& l) {
            if (c.silentSign) l.setResponder([](std::uint8_t) { return ScriptedSerialLink::Silence(); });
            else l.setResponder(CompatibleSign());
        };
        Heard h;
        RecordingEngine engine(signs.maker());
        std::size_t bytesAtStop = 0;
        h.onLine = [&](const event::LogLine& l) {
            if (c.stopAt.empty() || l.text != c.stopAt || bytesAtStop != 0) return;
            engine.stopAll();
            bytesAtStop = signs.signs.back()->link.written.size();
        };
        ASSERT_TRUE(engine.start({c.what, {"3"}}, h.sink())->ended());
        const auto& link = signs.signs.back()->link;
        const Verdict verdict = c.stopAt.empty() ? Verdict::Clean : Verdict::Stopped;
        if (c.stopAt.empty()) {
            EXPECT_EQ(link.written, Hex("C3 01 C3 02 " + c.body + " C9 D2 C5"));
            EXPECT_EQ(h.percents[0], c.percents);
        } else {
            EXPECT_TRUE(h.log(0).ends_with(c.body + kBad + "|" + kStopped)) << h.log(0);
            EXPECT_EQ(link.written.size(), bytesAtStop) << "sent after the stop";
        }
        EXPECT_EQ(h.verdicts[0], verdict);
        ASSERT_TRUE(h.end);
        EXPECT_EQ(h.end->verdicts, std::vector<Verdict>{verdict});
        EXPECT_EQ(h.eventsAfterEnd, 0);
        EXPECT_EQ(link.openedPorts, std::vector<int>{3});
        EXPECT_FALSE(link.isOpen());
        EXPECT_FALSE(engine.busy("3"));
    }
}

// Four signs in one job, each on its own line: each ends its own way, and the job's end lists
// every verdict in the order of the ports. A job without signs ends at once.
TEST_F(EngineTest, SeveralSignsEachWithItsOwnLineAndVerdict) {
    signs.script = [](std::size_t k, ScriptedSerialLink& l) {
        l.setResponder(CompatibleSign());
        if (k == 1 || k == 3) l.queueReplies({0xC4, 0x5A, 0xC4, 0xC4});
        if (k == 1) l.queue(ScriptedSerialLink::Reply(0x00));  // one echo differs
        if (k == 2) l.setOpenablePorts({});
        if (k == 3) {  // unplugged after the opening
            l.queue(ScriptedSerialLink::Reply(0x7E));
            l.queue(ScriptedSerialLink::Lost(2));
        }
    };
    RecordingEngine engine(signs.maker());
    engine.start({message({U"A"}), {"3", "7", "12", "200"}}, heard.sink());
    ASSERT_TRUE(heard.end);
    EXPECT_EQ(heard.end->verdicts,
              (std::vector<Verdict>{Verdict::Clean, Verdict::Errors, Verdict::CouldNotOpen, Verdict::LinkLost}));
    const std::string recognised = "|Reconociendo dispositivo...|Cartel electrónico compatible.|Comenzando grabación..."
                                   "|Grabando párrafo 1 de 1...";
    EXPECT_EQ(heard.log(0), kOpened + "Grabando párrafo 1 de 1... OK.|" + kClosed);
    EXPECT_EQ(heard.log(1), "Usando puerto COM 7." + recognised + "|Error de comparación. E: 126 R: 0|"
                            "Finalizando grabación...|" + kFailed);
    EXPECT_EQ(heard.log(2), "Usando puerto COM 12.|Reconociendo dispositivo...|"
                            "No se pudo abrir el puerto COM 12: el dispositivo no existe|" + kFailed);
    EXPECT_EQ(heard.log(3), "Usando puerto COM 200." + recognised + "|Se perdió la conexión con el puerto COM 200."
                            "|Error de Timeout.|Error: caracter 1 (A) no se grabó correctamente.|" + kFailed);
    const std::size_t written[] = {13, 13, 0, 6};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(heard.verdicts[k], heard.end->verdicts[k]);
        EXPECT_EQ(signs.signs[k]->link.written.size(), written[k]);
    }
    Heard none;  // a job without signs ends at once
    EXPECT_TRUE(engine.start({message({U"A"}), {}}, none.sink())->ended());
    ASSERT_TRUE(none.end);
    EXPECT_TRUE(none.end->verdicts.empty());
    EXPECT_EQ(signs.signs.size(), 4u);
}

bool EndsWithin(RecordingRun& run, std::chrono::seconds limit) {
    for (const auto until = std::chrono::steady_clock::now() + limit; !run.ended();) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Jobs on real threads: while one job records into port 3, another for port 3 waits for it, and
// one stopped while it waits ends at once with nothing sent.
TEST_F(EngineTest, ASecondJobForABusyPortWaitsForItOrForItsStop) {
    std::promise<void> letGo;
    std::shared_future<void> go = letGo.get_future().share();
    std::atomic<int> made{0};
    platform::ScriptedLinkThreads threads;
    threads.script = [&](ScriptedSerialLink& l) {
        l.setResponder([held = made++ == 0, go, sign = CompatibleSign()](std::uint8_t b) mutable {
            if (held) go.wait();  // the first job's sign holds its first reply
            return sign(b);
        });
    };
    RecordingEngine engine(threads.maker());
    Heard first, second, stopped;
    std::atomic<bool> firstDone{false};
    std::atomic<int> heardTooSoon{0};
    auto a = engine.start({message({U"I"}), {"3"}}, [&, sink = first.sink()](const RecordingEvent& e) {
        sink(e);
        const auto* l = std::get_if<event::LogLine>(&e);
        if (l && l->text == "Grabación finalizada.") firstDone = true;  // its port is let go after it
    });
    while (!engine.busy("3")) std::this_thread::yield();
    auto b = engine.start({message({U"A"}), {"3"}}, [&, sink = second.sink()](const RecordingEvent& e) {
        if (!firstDone) ++heardTooSoon;
        sink(e);
    });
    auto c = engine.start({message({U"A"}), {"3"}}, stopped.sink());
    c->stop();
    EXPECT_TRUE(EndsWithin(*c, std::chrono::seconds(10)));  // no ASSERT: the first sign must be let go
    EXPECT_EQ(stopped.log(0), kBad + "|" + kStopped);  // it never opened its port
    EXPECT_EQ(stopped.verdicts[0], Verdict::Stopped);
    letGo.set_value();
    ASSERT_TRUE(EndsWithin(*a, std::chrono::seconds(10)) && EndsWithin(*b, std::chrono::seconds(10)));
    EXPECT_EQ(first.verdicts[0], Verdict::Clean);
    EXPECT_EQ(second.verdicts[0], Verdict::Clean);
    EXPECT_EQ(heardTooSoon, 0);
}

}  // namespace
}  // namespace letrador::testing
