// The turn display: every entry of every digit style on the wire, time-outs and the verdict.
#include <gtest/gtest.h>

#include "signlink/turnero.h"
#include "signlink/turnero_digits.h"
#include "tests/signlink/sign_rig.h"

namespace letrador::testing {
namespace {

// Digit by digit, styles 1 | 2 | 3; a dark column is 80, never 00.
const char* const kDigits[] = {
    "3E7F63637F3E|7F41417F|3E4141413E", "8004467F7F40|8080807F|808004027F",
    "426171594F66|7949494F|8062514946", "226349497F36|4949497F|2241494936",
    "0F0F08087F7F|0F08087F|0F0808087E", "2F4F49497932|4F494979|2749494931",
    "3E7F49497932|7F484878|3E49494932", "030371790F07|0101017F|010101017F",
    "367F49497F36|7F49497F|3649494936", "264F49497F3E|0F09097F|264949493E",
};

Bytes Cell(int d, int style) {
    std::string_view row = kDigits[d];
    for (int s = 1; s < style; ++s) row.remove_prefix(row.find('|') + 1);
    return Hex(row.substr(0, row.find('|')));
}

// Entry n: tens, a dark column, units, D0 and the separator C9.
TEST(Turnero, EveryStyleSendsTheHundredEntriesInOrderThenTheClosing) {
    for (int style = 1; style <= 3; ++style) {
        SCOPED_TRACE(style);
        SignRig rig;
        EXPECT_TRUE(Turnero(rig.grabador).GrabarTurnero(style, "3"));
        Bytes want = kCleanOpening;
        for (int n = 0; n < 100; ++n) {
            for (const Bytes& part : {Cell(n / 10, style), Bytes{0x80}, Cell(n % 10, style), Bytes{0xD0, 0xC9}})
                want.insert(want.end(), part.begin(), part.end());
        }
        want.insert(want.end(), kCleanClosing.begin(), kCleanClosing.end());
        EXPECT_EQ(rig.link.written, want);
        EXPECT_EQ(AnchoDigito(style), static_cast<int>(Cell(0, style).size()));
        const auto labels = rig.percentLabels();
        ASSERT_EQ(labels.size(), 100u);
        EXPECT_EQ(labels.front(), "Grabando: 00% completado.");
        EXPECT_EQ(labels[41], "Grabando: 41% completado.");
        EXPECT_EQ(labels.back(), "Grabando: 99% completado.");
        EXPECT_EQ(rig.view.percent(), -1);  // the closing's phase
        EXPECT_EQ(rig.view.log().text(),
                  "Usando puerto COM 3.\r\nReconociendo modelo de cartel...\r\nCartel electrónico compatible.\r\n"
                  "Comenzando grabación...\r\nFinalizando grabación...\r\nLa grabación se realizó sin errores.\r\n"
                  "Grabación finalizada.");
    }
    for (auto [d, style] : {std::pair{10, 1}, {-1, 1}, {0, 4}, {0, 0}}) EXPECT_TRUE(ColumnasDigito(d, style).empty());
    EXPECT_EQ(AnchoDigito(0) + AnchoDigito(4), 0);
}

// A reply missing or wrong inside entry 42 (style 1), with an earlier recording's echo error still
// flagged: a time-out on the last column of a digit, the blank, D0 or C9 stops the run before 43;
// on an inner column of a digit it goes on. The verdict looks only at the closing and at this
// recording's echo errors.
TEST(Turnero, TimeOutsAndEchoErrorsInsideTheEntries) {
    const std::string stop = "Error de Timeout.|Hubo errores en la grabación.|Grabación finalizada.",
                      end = "|Finalizando grabación...|", clean = "La grabación se realizó sin errores.",
                      bad = "Hubo errores en la grabación.";
    for (const auto& [at, odd, log] :
         {std::tuple{6, kMute, stop}, {7, kMute, stop}, {13, kMute, stop}, {14, kMute, stop}, {15, kMute, stop},
          {3, kMute, "Error de Timeout." + end + clean + "|Grabación finalizada."},
          {3, Ans(0), "Error de comparación. E: 8 R: 0" + end + bad + "|Grabación finalizada."}}) {
        SCOPED_TRACE(at);
        SignRig rig;
        rig.puerto.ErrorGrabacion = true;
        const std::size_t where = 4 + 42 * 15 + at;
        const bool goesOn = at == 3;
        rig.link.setResponder([&rig, where, step = odd, sign = CompatibleSign()](std::uint8_t b) mutable {
            return rig.link.written.size() == where ? step : sign(b);
        });
        EXPECT_EQ(Turnero(rig.grabador).GrabarTurnero(1, "3"), goesOn);
        EXPECT_EQ(rig.link.written.size(), goesOn ? 4 + 1500 + 3 : where);
        EXPECT_EQ(rig.percentLabels().back(), goesOn ? "Grabando: 99% completado." : "Grabando: 41% completado.");
        EXPECT_EQ(rig.log(4), log);
    }
}

}  // namespace
}  // namespace letrador::testing
