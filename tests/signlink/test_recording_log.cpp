// The log text and the window-less recording view.
#include <gtest/gtest.h>

#include <sstream>

#include "signlink/recording_log.h"

namespace letrador {
namespace {

TEST(RecordingLog, LinesAreJoinedWithCrLfAndMarksEndTheirLine) {
    RecordingLog log;
    log.AgregarLog("a", true);
    EXPECT_EQ(log.text(), "\r\na");  // a new line on an empty log leaves an empty first line
    log.clear();
    EXPECT_TRUE(log.AgregarLog("x", false));
    EXPECT_EQ(log.caret(), 1u);
    log.AgregarLog("y", true);
    log.AgregarLog(" OK.", false);
    EXPECT_EQ(log.text(), "x\r\ny OK.");
    EXPECT_EQ(log.caret(), log.text().size());
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"x", "y OK."}));
}

TEST(PlainRecordingView, PrepareEmptiesTheLogAndEachLineIsPrintedOnceComplete) {
    std::ostringstream out;
    PlainRecordingView view(&out);
    view.AgregarLog("old", false);
    view.showClose();
    out.str("");
    view.prepare();
    EXPECT_EQ(view.log().text(), "");
    EXPECT_FALSE(view.closeButtonShown);
    EXPECT_FALSE(view.mainWindowEnabled);
    EXPECT_TRUE(view.windowShown);
    view.setProgress("Reconociendo dispositivo...", -1);
    EXPECT_EQ(view.progress(), "Reconociendo dispositivo...");
    view.AgregarLog("Usando puerto COM 3.", false);
    EXPECT_EQ(out.str(), "");
    view.AgregarLog("Grabando párrafo 1 de 1...", true);
    view.AgregarLog(" OK.", false);
    EXPECT_EQ(out.str(), "Usando puerto COM 3.\n");
    view.AgregarLog("Grabación finalizada.", true);
    EXPECT_EQ(out.str(), "Usando puerto COM 3.\nGrabando párrafo 1 de 1... OK.\n");
    view.showClose();
    EXPECT_EQ(out.str(),
              "Usando puerto COM 3.\nGrabando párrafo 1 de 1... OK.\nGrabación finalizada.\n");
}

}  // namespace
}  // namespace letrador
