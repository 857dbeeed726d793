// The log text and the window-less recording view.
#include <gtest/gtest.h>

#include <sstream>

#include "signlink/recording_log.h"

namespace letrador {
namespace {

TEST(RecordingLog, LinesAreJoinedWithCrLfAndMarksEndTheirLine) {
    RecordingLog log;
    EXPECT_TRUE(log.AgregarLog("x", false));
    EXPECT_EQ(log.text(), "x");
    EXPECT_EQ(log.caret(), 1u);
    log.AgregarLog("y", true);
    EXPECT_EQ(log.text(), "x\r\ny");
    log.AgregarLog(" OK.", false);
    EXPECT_EQ(log.text(), "x\r\ny OK.");
    EXPECT_EQ(log.caret(), log.text().size());
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"x", "y OK."}));
}

TEST(RecordingLog, NewLineOnAnEmptyLogLeavesAnEmptyFirstLine) {
    RecordingLog log;
    log.AgregarLog("a", true);
    EXPECT_EQ(log.text(), "\r\na");
    log.clear();
    EXPECT_EQ(log.text(), "");
}

TEST(PlainRecordingView, PrintsEachLineOnceComplete) {
    std::ostringstream out;
    PlainRecordingView view(&out);
    view.prepare();
    view.AgregarLog("Usando puerto COM 3.", false);
    EXPECT_EQ(out.str(), "");
    view.AgregarLog("Grabando párrafo 1 de 1...", true);
    EXPECT_EQ(out.str(), "Usando puerto COM 3.\n");
    view.AgregarLog(" OK.", false);
    EXPECT_EQ(out.str(), "Usando puerto COM 3.\n");
    view.AgregarLog("Grabación finalizada.", true);
    EXPECT_EQ(out.str(), "Usando puerto COM 3.\nGrabando párrafo 1 de 1... OK.\n");
    view.showClose();
    EXPECT_EQ(out.str(),
              "Usando puerto COM 3.\nGrabando párrafo 1 de 1... OK.\nGrabación finalizada.\n");
}

TEST(PlainRecordingView, PrepareEmptiesTheLogAndHidesTheCloseButton) {
    PlainRecordingView view;
    view.AgregarLog("old", false);
    view.showClose();
    view.prepare();
    EXPECT_EQ(view.log().text(), "");
    EXPECT_FALSE(view.closeButtonShown);
    EXPECT_FALSE(view.mainWindowEnabled);
    EXPECT_TRUE(view.windowShown);
    view.setProgress("Reconociendo dispositivo...");
    EXPECT_EQ(view.progress(), "Reconociendo dispositivo...");
}

}  // namespace
}  // namespace letrador
