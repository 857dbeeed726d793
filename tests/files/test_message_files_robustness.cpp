// The reader against damaged files: corrupted and random ones, from a fixed seed. Whatever the
// bytes, it either refuses them and leaves the message as it was, or comes back with a
// consistent message of at most 50 paragraphs.
#include <gtest/gtest.h>

#include <random>

#include "files/message_files.h"
#include "tests/files/files_fixture.h"

namespace letrador {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class ReaderRobustnessTest : public ::testing::Test,
                             public testing::InMemorySaves,
                             public testing::MessageFixture {
  protected:
    ReaderRobustnessTest() : MessageFixture(&saved) {}

    void SetUp() override {
        addParagraph(U"Hola");
        addParagraph(U"Hola\r\nHola", "a.ffv", true, "3");
        ASSERT_TRUE(files.EscribirMensaje(path("antes.fmv")));
        before_ = saved.last;
        WriteBytes(path("antes.fmv"), before_);
        view.setMessageName("antes.fmv");
        store.MessageModified = true;
    }

    // Reads `bytes` as a message file: either it is refused with one message and the message
    // before it stays byte for byte, or it gives a consistent message of at most 50 paragraphs.
    void readAndCheck(const std::string& bytes, const std::string& what) {
        WriteBytes(path("f.fmv"), bytes);
        dialogs.clear();
        if (!files.LeerMensaje(path("f.fmv"))) {
            ASSERT_EQ(dialogs.shown.size(), 1u) << what;
            ASSERT_EQ(view.messageName(), "antes.fmv") << what;
            ASSERT_TRUE(store.MessageModified) << what;
            ASSERT_TRUE(files.EscribirMensaje(path("x.fmv"))) << what;
            ASSERT_EQ(saved.last, before_) << what;
            store.MessageModified = true;
            ++refused;
            return;
        }
        const int count = store.ParagraphCount;
        ASSERT_GE(count, 1) << what;
        ASSERT_LE(count, 50) << what;
        ASSERT_EQ(view.paragraphItemCount(), count) << what;
        ASSERT_EQ(static_cast<int>(store.Paragraphs.size()), count) << what;
        for (int k = 1; k <= count; ++k) {
            ASSERT_EQ(store.paragraph(k).Number, k) << what;
            ASSERT_EQ(view.paragraphItems()[static_cast<std::size_t>(k - 1)], std::to_string(k))
                << what;
        }
        ASSERT_FALSE(store.MessageModified) << what;
        ++accepted;
        dialogs.clear();
        ASSERT_TRUE(files.LeerMensaje(path("antes.fmv")));
        view.setMessageName("antes.fmv");
        store.MessageModified = true;
    }

    // Real files written by the program itself, to damage.
    std::vector<std::string> sampleFiles() {
        std::vector<std::string> out{before_};
        commands.ClearMessage();
        addParagraph(U"Hola");
        addParagraph(U"Uno\r\nDos\r\n\"Tres\"", "a.ffv", true, "2");
        addParagraph(U"<4>Hola <0>\"\"", "b.ffv", false, "0");
        files.EscribirMensaje(path("s1.fmv"));
        out.push_back(saved.last);
        commands.ClearMessage();
        for (int i = 0; i < 12; ++i) addParagraph(U"aH\r\nl\r\n\r\no");
        commands.cmdParNuevo_Click();  // a last paragraph never saved
        files.EscribirMensaje(path("s2.fmv"));
        out.push_back(saved.last);
        files.LeerMensaje(path("antes.fmv"));
        view.setMessageName("antes.fmv");
        store.MessageModified = true;
        return out;
    }

    std::string before_;
    int refused = 0;
    int accepted = 0;
};

TEST_F(ReaderRobustnessTest, ThousandsOfCorruptedRealFiles) {
    std::mt19937 rng(20240611u);
    const std::vector<std::string> samples = sampleFiles();
    const std::vector<std::string> pieces = {
        "\r\n",    "\n", "\r",   "\"",  "\"\"",   "\"fin_parrafo\"\r\n",
        "#FALSE#", "\0", "\xFF", "<9>", "-32769", "1e9999"};
    for (int round = 0; round < 2500; ++round) {
        std::string f = samples[rng() % samples.size()];
        const int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits && !f.empty(); ++e) {
            std::size_t at = rng() % (f.size() + 1);
            switch (rng() % 5) {
                case 0:  // flip a byte
                    if (at < f.size()) f[at] = static_cast<char>(rng() & 0xFF);
                    break;
                case 1:  // drop a run
                    f.erase(at, rng() % 20);
                    break;
                case 2: {  // insert a piece that matters to the layout
                    const std::string& p = pieces[rng() % pieces.size()];
                    f.insert(at, p.empty() ? std::string(1, '\0') : p);
                    break;
                }
                case 3:  // duplicate a run
                    if (at < f.size()) f.insert(at, f.substr(at, rng() % 60));
                    break;
                default:  // cut the end
                    f.resize(at);
                    break;
            }
        }
        readAndCheck(f, "round " + std::to_string(round));
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(refused + accepted, 2500);
    EXPECT_GT(refused, 0);
    EXPECT_GT(accepted, 0);
}

TEST_F(ReaderRobustnessTest, RandomByteAndRandomLineFiles) {
    std::mt19937 rng(7u);
    const std::vector<std::string> lines = {
        "3", "0", "1",     "\"a.ffv\"", "\"Hola\"", "\"", "\"fin_parrafo\"", "#FALSE#", "#TRUE#",
        "",  "x", "\"Uno", "Dos\"",     "99999",    "-1"};
    for (int round = 0; round < 1500; ++round) {
        std::string f;
        if (round % 2 == 0) {
            const std::size_t n = rng() % 400;
            for (std::size_t i = 0; i < n; ++i) f += static_cast<char>(rng() & 0xFF);
        } else {
            const std::size_t n = rng() % 500;
            for (std::size_t i = 0; i < n; ++i) f += lines[rng() % lines.size()] + "\r\n";
        }
        readAndCheck(f, "random " + std::to_string(round));
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(refused + accepted, 1500);
    EXPECT_GT(refused, 0);
}

TEST_F(ReaderRobustnessTest, ManyMarkerLinesMakeManyGroupsButAtMostFiftyParagraphs) {
    std::string f = "3\r\n0\r\n";
    for (int i = 0; i < 400; ++i) {
        f += "1\r\n\"a.ffv\"\r\n\"Ho\"\r\n\"fin_parrafo\"\r\n0\r\n#FALSE#\r\n1\r\n";
    }
    WriteBytes(path("f.fmv"), f);
    dialogs.clear();
    ASSERT_TRUE(files.LeerMensaje(path("f.fmv")));
    EXPECT_EQ(store.ParagraphCount, 50);
    EXPECT_EQ(dialogs.shown.size(), 350u);  // the limit message once per group beyond 50
}

}  // namespace
}  // namespace letrador
