// The example messages shipped in data/mensajes: they read without any message box, hold what
// they promise, and writing them again gives the same bytes.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace letrador
