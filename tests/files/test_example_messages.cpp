// The example messages shipped in data/mensajes: they read without any message box, hold what
// they promise, and writing them again gives the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "files/message_files.h"
#include "tests/files/files_fixture.h"

namespace letrador {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;

const fs::path kExamples = fs::path(LETRADOR_SOURCE_DIR) / "data" / "mensajes";
const fs::path kFonts = fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias";

class ExampleMessagesTest : public ::testing::Test, public testing::MessageFixture {
  protected:
    ExampleMessagesTest() { store.FontFolder = kFonts.string(); }

    void readExample(const std::string& name) {
        ASSERT_TRUE(fs::exists(kFonts / "normal.ffv")) << "fonts not built in " << kFonts;
        ASSERT_TRUE(files.LeerMensaje((kExamples / name).string()));
        EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text;
        for (int k = 1; k <= store.ParagraphCount; ++k) {
            EXPECT_GT(store.paragraph(k).Columns, 0) << name << " " << k;
        }
    }
    void expectSameBytesWhenWrittenAgain(const std::string& name) {
        ASSERT_TRUE(files.EscribirMensaje(path(name)));
        EXPECT_EQ(ReadBytes(path(name)), ReadBytes(kExamples / name));
    }
};

TEST_F(ExampleMessagesTest, BienvenidaHasSeveralParagraphsWithEffects) {
    readExample("bienvenida.fmv");
    ASSERT_GE(store.ParagraphCount, 3);
    EXPECT_NE(store.paragraph(1).Text.find(U"<4>"), std::u32string::npos);
    EXPECT_FALSE(store.CapacityExceeded);
    expectSameBytesWhenWrittenAgain("bienvenida.fmv");
}

TEST_F(ExampleMessagesTest, HorarioHasAMultiLineParagraph) {
    readExample("horario.fmv");
    bool multiLine = false;
    for (int k = 1; k <= store.ParagraphCount; ++k) {
        multiLine = multiLine || store.paragraph(k).Text.find(U"\r\n") != std::u32string::npos;
    }
    EXPECT_TRUE(multiLine);
    EXPECT_TRUE(options.joinedChecked());
    expectSameBytesWhenWrittenAgain("horario.fmv");
}

// Where each paragraph group of a file written by the program ends: after the end marker line,
// the columns, ignore and separation lines.
std::vector<std::size_t> GroupEnds(const std::string& file) {
    std::vector<std::size_t> ends;
    const std::string marker = "\"fin_parrafo\"\r\n";
    for (auto at = file.find(marker); at != std::string::npos; at = file.find(marker, at + 1)) {
        std::size_t end = at + marker.size();
        for (int line = 0; line < 3; ++line) end = file.find("\r\n", end) + 2;
        ends.push_back(end);
    }
    return ends;
}

class ExampleCutTest : public ::testing::TestWithParam<std::string>,
                       public testing::InMemorySaves,
                       public testing::MessageFixture {
  protected:
    ExampleCutTest() : MessageFixture(&saved) { store.FontFolder = kFonts.string(); }

    void openWhole() {
        ASSERT_TRUE(files.LeerMensaje((kExamples / GetParam()).string()));
        view.setMessageName(GetParam());
        store.MessageModified = true;
    }
};

// Every cut of a shipped example is refused as a whole, leaving the message that was open byte
// for byte, unless it ends right after a paragraph group (its last line end may be cut off).
TEST_P(ExampleCutTest, EveryCutIsRefusedUnlessItEndsAfterAWholeParagraph) {
    const std::string whole = ReadBytes(kExamples / GetParam());
    const std::vector<std::size_t> ends = GroupEnds(whole);
    ASSERT_GE(ends.size(), 2u);
    ASSERT_EQ(ends.back(), whole.size());
    openWhole();
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE("cut at byte " + std::to_string(cut));
        testing::WriteBytes(path("cut.fmv"), whole.substr(0, cut));
        dialogs.clear();
        const auto end = std::find_if(ends.begin(), ends.end(),
                                      [&](std::size_t e) { return cut <= e && e - cut <= 2; });
        const bool wholeGroups = end != ends.end();
        ASSERT_EQ(files.LeerMensaje(path("cut.fmv")), wholeGroups);
        if (wholeGroups) {
            EXPECT_EQ(store.ParagraphCount, end - ends.begin() + 1);
            EXPECT_TRUE(dialogs.shown.empty());
            openWhole();
            continue;
        }
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(view.messageName(), GetParam());
        EXPECT_TRUE(store.MessageModified);
        ASSERT_TRUE(files.EscribirMensaje(path("otra.fmv")));
        ASSERT_EQ(saved.last, whole);
        store.MessageModified = true;
    }
}

std::vector<std::string> ShippedExamples() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kExamples)) {
        if (entry.path().extension() == ".fmv") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Shipped, ExampleCutTest, ::testing::ValuesIn(ShippedExamples()),
                         [](const auto& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

}  // namespace
}  // namespace letrador
