// The virtual sign's answers, its faults, and the decoding of what it received.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "signlink/turnero_digits.h"
#include "tools/cartel-virtual/sign_decoder.h"
#include "tools/cartel-virtual/virtual_sign.h"

namespace letrador::cartel {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kOpening = {0xC3, 0x01, 0xC3, 0x02};
const Bytes kClosing = {0xC9, 0xD2, 0xC5};

// The replies to `in`, -1 for none.
std::vector<int> Replies(VirtualSign& sign, const Bytes& in, long long nowMs = 0) {
    std::vector<int> out;
    for (std::uint8_t b : in) {
        const auto r = sign.receive(b, nowMs);
        out.push_back(r ? r->byte : -1);
    }
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A whole turn display in `style`, entries `from` to `to` - 1.
Bytes TurnBody(int style, int from = 0, int to = 100) {
    Bytes out;
    for (int n = from; n < to; ++n) {
        for (auto b : ColumnasDigito(n / 10, style)) out.push_back(b);
        out.push_back(0x80);
        for (auto b : ColumnasDigito(n % 10, style)) out.push_back(b);
        out.push_back(0xD0);
        out.push_back(0xC9);
    }
    return out;
}

TEST(VirtualSign, AnswersAWholeRecording) {
    VirtualSign sign;
    EXPECT_EQ(Replies(sign, kOpening), (std::vector<int>{0xC4, 0x5A, 0xC4, 0xC4}));
    EXPECT_EQ(sign.state(), VirtualSign::State::Recording);
    // Text bytes are echoed, even those that mean something outside a recording.
    EXPECT_EQ(Replies(sign, {0x7E, 0xC3, 0x01, 0x02, 0xC5, 0x80, 0xD0, 0xC9, 0xD2, 0x00}),
              (std::vector<int>{0x7E, 0xC3, 0x01, 0x02, 0xC5, 0x80, 0xD0, 0xC9, 0xD2, 0x00}));
    EXPECT_EQ(sign.recordingsClosed(), 0);
    EXPECT_EQ(Replies(sign, kClosing), (std::vector<int>{0xC9, 0xD2, 0xC4}));
    EXPECT_TRUE(sign.lastEndedRecording());
    EXPECT_EQ(sign.state(), VirtualSign::State::Idle);
    EXPECT_EQ(sign.recordingsClosed(), 1);
    EXPECT_EQ(sign.received(), 17);
}

TEST(VirtualSign, OutsideARecording) {
    VirtualSign sign;
    // The model query and the start count only right after an attention.
    EXPECT_EQ(Replies(sign, {0x01, 0x02, 0xC5, 0x7F}), (std::vector<int>{0x01, 0x02, 0xC4, 0x7F}));
    EXPECT_EQ(sign.state(), VirtualSign::State::Idle);
    EXPECT_EQ(Replies(sign, {0xC3, 0x7F, 0x02}), (std::vector<int>{0xC4, 0x7F, 0x02}));
    EXPECT_EQ(sign.state(), VirtualSign::State::Idle);
    // Repeated attentions keep it armed.
    EXPECT_EQ(Replies(sign, {0xC3, 0xC3, 0x02}), (std::vector<int>{0xC4, 0xC4, 0xC4}));
    EXPECT_EQ(sign.state(), VirtualSign::State::Recording);
}

TEST(VirtualSign, TurnDisplayIsEchoed) {
    VirtualSign sign;
    Replies(sign, kOpening);
    const Bytes body = TurnBody(1);
    ASSERT_EQ(body.size(), 1500u);
    const auto replies = Replies(sign, body);
    EXPECT_EQ(replies, std::vector<int>(body.begin(), body.end()));
    EXPECT_EQ(Replies(sign, kClosing), (std::vector<int>{0xC9, 0xD2, 0xC4}));
}

TEST(VirtualSign, SilentFromAnIndexOn) {
    Faults f;
    f.silentFrom = 2;
    VirtualSign sign(f);
    EXPECT_EQ(Replies(sign, {0xC3, 0x01, 0xC3, 0x02, 0x7F}),
              (std::vector<int>{0xC4, 0x5A, -1, -1, -1}));
    // The silent bytes still move the state on.
    EXPECT_EQ(sign.state(), VirtualSign::State::Recording);
}

TEST(VirtualSign, SilentForOneByteOnly) {
    Faults f;
    f.silentAt = {1, 3};
    VirtualSign sign(f);
    EXPECT_EQ(Replies(sign, {0xC3, 0x01, 0xC3, 0x02, 0x7F}),
              (std::vector<int>{0xC4, -1, 0xC4, -1, 0x7F}));
}

TEST(VirtualSign, LateReplyCarriesItsDelay) {
    Faults f;
    f.lateMs = {{1, 500}};
    VirtualSign sign(f);
    const auto a = sign.receive(0xC3);
    const auto b = sign.receive(0x01);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->delayMs, 0);
    EXPECT_EQ(b->byte, 0x5A);
    EXPECT_EQ(b->delayMs, 500);
}

TEST(VirtualSign, WrongReplies) {
    Faults f;
    f.wrongReply = {{4, std::nullopt}, {5, std::uint8_t{0x33}}};
    VirtualSign sign(f);
    EXPECT_EQ(Replies(sign, Cat({kOpening, {0x7E, 0x7E, 0x7E}})),
              (std::vector<int>{0xC4, 0x5A, 0xC4, 0xC4, 0x7F, 0x33, 0x7E}));
}

TEST(VirtualSign, AnotherModel) {
    Faults f;
    f.model = kOtroModelo;
    VirtualSign sign(f);
    EXPECT_EQ(Replies(sign, {0xC3, 0x01}), (std::vector<int>{0xC4, 0x5B}));
}

TEST(VirtualSign, RefusedStartBeginsNoRecording) {
    Faults f;
    f.refuseStart = true;
    VirtualSign sign(f);
    EXPECT_EQ(Replies(sign, kOpening), (std::vector<int>{0xC4, 0x5A, 0xC4, kRechazoInicio}));
    EXPECT_EQ(sign.state(), VirtualSign::State::Idle);
    EXPECT_EQ(Replies(sign, {0xC3}), (std::vector<int>{0xC4}));
}

TEST(VirtualSign, AnAbandonedRecordingEndsAfterAQuietSpell) {
    VirtualSign sign;
    Replies(sign, Cat({kOpening, {0x7E}}), 0);
    // A second without bytes is still a live recording (a time-out on a blank column).
    EXPECT_EQ(Replies(sign, {0xC3}, 1000), (std::vector<int>{0xC3}));
    // After a longer spell the host is opening again.
    EXPECT_EQ(Replies(sign, kOpening, 1000 + kReposoMs),
              (std::vector<int>{0xC4, 0x5A, 0xC4, 0xC4}));
    EXPECT_EQ(sign.state(), VirtualSign::State::Recording);
}

TEST(SignDecoder, MessageWithTagsBlanksAndSeparators) {
    const Bytes body = {0xCA, 0x7E, 0x09, 0x80, 0x7E, 0x80, 0x80, 0x80, 0x80, 0xC9,  // <4>A_ ...
                        0xC9, 0xD1, 0xC8, 0x00, 0x7F, 0xC9};
    const SignRecord rec = DecodeStream(Cat({kOpening, body, kClosing}));
    ASSERT_EQ(rec.recordings.size(), 1u);
    const Recording& r = rec.recordings[0];
    EXPECT_EQ(r.kind, Recording::Kind::Message);
    EXPECT_TRUE(r.modelQueried);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.closed);
    EXPECT_EQ(r.attentions, 2);
    ASSERT_EQ(r.paragraphs.size(), 2u);
    EXPECT_EQ(FormatParagraph(r.paragraphs[0]), "<4> 7E 09 80 7E 80 80 80 80 separador");
    EXPECT_EQ(FormatParagraph(r.paragraphs[1]), "<A> <3> <?> 7F separador");
    EXPECT_EQ(r.paragraphs[1].items[0].wireBytes(), (Bytes{0xC9, 0xD1}));
    EXPECT_EQ(r.paragraphs[1].items[1].effect, '3');
    EXPECT_TRUE(r.paragraphs[0].items[1].isColumn());
    EXPECT_EQ(rec.received, 23);
    EXPECT_EQ(rec.strayBytes, 0);
}

TEST(SignDecoder, JoinedParagraphsReadAsOne) {
    const SignRecord rec = DecodeStream(Cat({kOpening, {0x7F, 0x80, 0xCF, 0x7F}, kClosing}));
    ASSERT_EQ(rec.recordings.size(), 1u);
    ASSERT_EQ(rec.recordings[0].paragraphs.size(), 1u);
    EXPECT_EQ(FormatParagraph(rec.recordings[0].paragraphs[0]), "7F 80 <9> 7F");
}

TEST(SignDecoder, EmptyParagraphsBetweenSeparatorsAreKept) {
    const SignRecord rec = DecodeStream(Cat({kOpening, {0xC9, 0x7F, 0xC9, 0xC9}, kClosing}));
    const auto& ps = rec.recordings.at(0).paragraphs;
    ASSERT_EQ(ps.size(), 3u);
    EXPECT_EQ(FormatParagraph(ps[0]), "separador");
    EXPECT_EQ(FormatParagraph(ps[1]), "7F separador");
    EXPECT_EQ(FormatParagraph(ps[2]), "separador");
}

TEST(SignDecoder, WholeTurnDisplayInEachStyle) {
    for (int style = 1; style <= 3; ++style) {
        SCOPED_TRACE(style);
        const SignRecord rec = DecodeStream(Cat({kOpening, TurnBody(style), kClosing}));
        ASSERT_EQ(rec.recordings.size(), 1u);
        const Recording& r = rec.recordings[0];
        ASSERT_EQ(r.kind, Recording::Kind::TurnDisplay);
        EXPECT_TRUE(r.closed);
        EXPECT_EQ(r.turn.style, style);
        ASSERT_EQ(r.turn.entries.size(), 100u);
        for (int n = 0; n < 100; ++n) {
            EXPECT_EQ(r.turn.entries[n].number, n);
            EXPECT_TRUE(r.turn.entries[n].complete);
        }
    }
    const SignRecord two = DecodeStream(Cat({kOpening, TurnBody(2), kClosing}));
    EXPECT_EQ(FormatEntry(two.recordings[0].turn.entries[17]), "17 80 80 80 7F 80 01 01 01 7F");
}

TEST(SignDecoder, TurnDisplayCutShort) {
    Bytes body = TurnBody(1, 0, 42);
    const Bytes next = TurnBody(1, 42, 43);
    body.insert(body.end(), next.begin(), next.begin() + 7);
    const SignRecord rec = DecodeStream(Cat({kOpening, body}));
    const Recording& r = rec.recordings.at(0);
    EXPECT_FALSE(r.closed);
    ASSERT_EQ(r.kind, Recording::Kind::TurnDisplay);
    ASSERT_EQ(r.turn.entries.size(), 43u);
    EXPECT_EQ(r.turn.entries[41].number, 41);
    EXPECT_FALSE(r.turn.entries[42].complete);
    EXPECT_EQ(r.turn.entries[42].number, -1);
    EXPECT_EQ(r.turn.entries[42].bytes.size(), 7u);
}

TEST(SignDecoder, AFirstEntryOfNoStyleIsAMessage) {
    const SignRecord rec = DecodeStream(Cat({kOpening, {0x7F, 0x80, 0x7F, 0xD0, 0xC9}, kClosing}));
    const Recording& r = rec.recordings.at(0);
    EXPECT_EQ(r.kind, Recording::Kind::Message);
    ASSERT_EQ(r.paragraphs.size(), 1u);
    EXPECT_EQ(FormatParagraph(r.paragraphs[0]), "7F 80 7F D0 separador");
}

TEST(SignDecoder, SessionsRetriesAndAbandonedRecordings) {
    const Bytes stream = Cat({
        {0x55},                    // stray
        {0xC3, 0xC3, 0xC3},        // a silent line: three attentions
        {0xC3, 0x01},              // another model: recognition only
        {0xC3, 0x01, 0xC3, 0x02},  // a recording cut by a time-out
        {0x7F, 0x09},
        {0xC3, 0x01, 0xC3, 0x02, 0x7E},  // and the next one, closed
        kClosing,
        {0x44},  // stray again
    });
    const SignRecord rec = DecodeStream(stream);
    EXPECT_EQ(rec.strayBytes, 2);
    // Unanswered attentions and the recognition that follows them make one session: the
    // decoding sees the bytes, not the replies.
    ASSERT_EQ(rec.recordings.size(), 3u);
    EXPECT_EQ(rec.recordings[0].attentions, 4);
    EXPECT_TRUE(rec.recordings[0].modelQueried);
    EXPECT_FALSE(rec.recordings[0].started);
    EXPECT_EQ(rec.recordings[0].kind, Recording::Kind::None);
    EXPECT_EQ(rec.recordings[1].firstByte, 6);
    EXPECT_TRUE(rec.recordings[1].started);
    EXPECT_FALSE(rec.recordings[1].closed);
    ASSERT_EQ(rec.recordings[1].paragraphs.size(), 1u);
    EXPECT_EQ(FormatParagraph(rec.recordings[1].paragraphs[0]), "7F 09");
    EXPECT_EQ(rec.recordings[2].firstByte, 12);
    EXPECT_TRUE(rec.recordings[2].closed);
    EXPECT_EQ(FormatParagraph(rec.recordings[2].paragraphs.at(0)), "7E");
}

TEST(SignDecoder, ASecondRecognitionOpensANewSession) {
    const SignRecord rec = DecodeStream(Bytes{0xC3, 0x01, 0xC3, 0xC3, 0x01, 0xC3, 0x02});
    ASSERT_EQ(rec.recordings.size(), 2u);
    EXPECT_EQ(rec.recordings[0].attentions, 1);
    EXPECT_FALSE(rec.recordings[0].started);
    EXPECT_EQ(rec.recordings[1].firstByte, 2);
    EXPECT_EQ(rec.recordings[1].attentions, 3);
    EXPECT_TRUE(rec.recordings[1].started);
}

TEST(SignDecoder, Listing) {
    const SignRecord rec = DecodeStream(
        Cat({kOpening, {0xC8, 0x7F, 0xC9}, kClosing, kOpening, TurnBody(3, 0, 2), {0x3E, 0x41}}));
    EXPECT_EQ(FormatListing(rec),
              "cartel-virtual registro 1\n"
              "recibidos 42\n"
              "ajenos 0\n"
              "grabacion 1 desde 0 atenciones 2 modelo si comienzo si cierre si otros 0\n"
              "mensaje\n"
              "parrafo <3> 7F separador\n"
              "grabacion 2 desde 10 atenciones 2 modelo si comienzo si cierre no otros 0\n"
              "turnero 3\n"
              "entrada 00 3E 41 41 41 3E 80 3E 41 41 41 3E\n"
              "entrada 01 3E 41 41 41 3E 80 80 80 04 02 7F\n"
              "entrada -- 3E 41 incompleta\n"
              "fin\n");
}

TEST(SignDecoder, ListingReadsBack) {
    const std::vector<Bytes> streams = {
        Cat({kOpening, {0xCA, 0x7E, 0x80, 0xC9, 0xC9, 0xD1, 0x00, 0xC9, 0xC9}, kClosing}),
        Cat({{0x12, 0xC3, 0xC3, 0x33, 0xC3, 0x01}, kOpening, TurnBody(2), kClosing}),
        Cat({kOpening, TurnBody(1, 0, 10), {0x3E}}),
        Bytes{},
    };
    for (const Bytes& s : streams) {
        const SignRecord rec = DecodeStream(s);
        const std::string text = FormatListing(rec);
        const auto back = ParseListing(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_EQ(*back, rec) << text;
        // CR LF line ends read the same.
        std::string crlf;
        for (char c : text) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        EXPECT_EQ(ParseListing(crlf), rec);
    }
}

TEST(SignDecoder, ListingRefusesOtherText) {
    EXPECT_FALSE(ParseListing(""));
    EXPECT_FALSE(ParseListing("hola\n"));
    EXPECT_FALSE(ParseListing("cartel-virtual registro 1\nrecibidos 3\n"));  // no "fin"
    EXPECT_FALSE(ParseListing("cartel-virtual registro 1\nparrafo 7F\nfin\n"));
    EXPECT_FALSE(
        ParseListing("cartel-virtual registro 1\n"
                     "grabacion 1 desde 0 atenciones 2 modelo si comienzo si cierre si otros 0\n"
                     "mensaje\nparrafo 7F <1>\nfin\n"));
    EXPECT_FALSE(
        ParseListing("cartel-virtual registro 1\n"
                     "grabacion 1 desde 0 atenciones 2 modelo si comienzo si cierre si otros 0\n"
                     "mensaje\nparrafo 7F 1G\nfin\n"));
}

}  // namespace
}  // namespace letrador::cartel
