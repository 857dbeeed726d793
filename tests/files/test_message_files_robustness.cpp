// The reader against damaged files: every cut of the shipped examples, and corrupted and random
// files from a fixed seed. Whatever the bytes, it either refuses them and leaves the message as it
// was, byte for byte, or comes back with a consistent message of at most 50 paragraphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "files/message_files.h"
#include "tests/files/files_fixture.h"

namespace letrador {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::WriteBytes;

const fs::path kExamples = fs::path(LETRADOR_SOURCE_DIR) / "data" / "mensajes";
const fs::path kFonts = fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias";

class DamagedFileTest : public testing::InMemorySaves, public testing::MessageFixture {
  protected:
    DamagedFileTest() : MessageFixture(&saved) {}

    // Opens `bytes` as the message to damage.
    void openWhole(const std::string& bytes) {
        WriteBytes(path("antes.fmv"), before = bytes);
        ASSERT_TRUE(files.LeerMensaje(path("antes.fmv")));
        view.setMessageName("antes.fmv");
        store.MessageModified = true;
    }
    // Reads `bytes`: true when accepted, after checking the message either way.
    bool readAndCheck(const std::string& bytes) {
        WriteBytes(path("f.fmv"), bytes);
        dialogs.clear();
        if (!files.LeerMensaje(path("f.fmv"))) {
            EXPECT_EQ(dialogs.shown.size(), 1u);
            EXPECT_TRUE(view.messageName() == "antes.fmv" && store.MessageModified);
            EXPECT_TRUE(files.EscribirMensaje(path("x.fmv")));
            EXPECT_EQ(saved.last, before);
            store.MessageModified = true;
            return false;
        }
        const int count = store.ParagraphCount;
        EXPECT_TRUE(count >= 1 && count <= 50) << count;
        EXPECT_EQ(static_cast<int>(store.Paragraphs.size()), count);
        std::vector<std::string> numbers, read;
        for (int k = 1; k <= count; ++k) numbers.push_back(std::to_string(k));
        for (int k = 1; k <= count; ++k) read.push_back(std::to_string(store.paragraph(k).Number));
        EXPECT_EQ(read, numbers);
        EXPECT_EQ(view.paragraphItems(), numbers);
        EXPECT_FALSE(store.MessageModified);
        openWhole(before);
        return true;
    }
    std::string before;
};

std::vector<std::string> ShippedExamples() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kExamples))
        if (entry.path().extension() == ".fmv") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ExampleTest : public ::testing::TestWithParam<std::string>, public DamagedFileTest {
  protected:
    ExampleTest() { store.FontFolder = kFonts.string(); }
};

// An example reads without a message box, counts every paragraph with the shipped fonts, and is
// written back byte for byte. Every cut of it is refused as a whole, unless it ends right after a
// paragraph group (whose last line end may be cut off).
TEST_P(ExampleTest, ReadsWholeAndEveryCutIsRefusedUnlessItEndsAfterAWholeParagraph) {
    const std::string whole = ReadBytes(kExamples / GetParam());
    std::vector<std::size_t> ends;  // after the marker line, the columns, ignore and separation
    const std::string marker = "\"fin_parrafo\"\r\n";
    for (auto at = whole.find(marker); at != std::string::npos; at = whole.find(marker, at + 1)) {
        std::size_t end = at + marker.size();
        for (int line = 0; line < 3; ++line) end = whole.find("\r\n", end) + 2;
        ends.push_back(end);
    }
    ASSERT_GE(ends.size(), 2u);
    ASSERT_EQ(ends.back(), whole.size());
    openWhole(whole);
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_EQ(store.ParagraphCount, static_cast<int>(ends.size()));
    for (int k = 1; k <= store.ParagraphCount; ++k) EXPECT_GT(store.paragraph(k).Columns, 0) << k;
    EXPECT_FALSE(store.CapacityExceeded);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE("cut at byte " + std::to_string(cut));
        const auto end = std::find_if(ends.begin(), ends.end(), [&](std::size_t e) { return cut <= e && e - cut <= 2; });
        ASSERT_EQ(readAndCheck(whole.substr(0, cut)), end != ends.end());
        EXPECT_TRUE(end == ends.end() || dialogs.shown.empty());
        if (HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ExampleTest, ::testing::ValuesIn(ShippedExamples()),
                         [](const auto& info) { return info.param.substr(0, info.param.find('.')); });

class ReaderRobustnessTest : public ::testing::Test, public DamagedFileTest {
  protected:
    // Real files written by the program itself, to damage; the first is left open.
    std::vector<std::string> sampleFiles() {
        std::vector<std::string> out;
        auto save = [&] {
            EXPECT_TRUE(files.EscribirMensaje(path("s.fmv")));
            out.push_back(saved.last);
            commands.ClearMessage();
        };
        addParagraph(U"Hola");
        addParagraph(U"Hola\r\nHola", "a.ffv", true, "3");
        save();
        addParagraph(U"Hola");
        addParagraph(U"Uno\r\nDos\r\n\"Tres\"", "a.ffv", true, "2");
        addParagraph(U"<4>Hola <0>\"\"", "b.ffv", false, "0");
        save();
        for (int i = 0; i < 12; ++i) addParagraph(U"aH\r\nl\r\n\r\no");
        commands.cmdParNuevo_Click();  // a last paragraph never saved
        save();
        openWhole(out[0]);
        return out;
    }
};

TEST_F(ReaderRobustnessTest, ThousandsOfCorruptedRealAndRandomFiles) {
    std::mt19937 rng(20240611u);
    const std::vector<std::string> samples = sampleFiles();
    const std::vector<std::string> pieces = {"\r\n", "\n", "\r", "\"", "\"\"", "\"fin_parrafo\"\r\n",
                                             "#FALSE#", std::string(1, '\0'), "\xFF", "<9>", "-32769", "1e9999"};
    const std::vector<std::string> lines = {"3", "0", "1", "\"a.ffv\"", "\"Hola\"", "\"", "\"fin_parrafo\"", "#FALSE#",
                                            "#TRUE#", "", "x", "\"Uno", "Dos\"", "99999", "-1"};
    int accepted = 0;
    for (int round = 0; round < 4000 && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string f;
        if (round % 4 == 1) {  // random bytes
            for (std::size_t n = rng() % 400; n > 0; --n) f += static_cast<char>(rng() & 0xFF);
        } else if (round % 4 == 3) {  // random lines
            for (std::size_t n = rng() % 500; n > 0; --n) f += lines[rng() % lines.size()] + "\r\n";
        } else {  // a real file with up to six edits
            f = samples[rng() % samples.size()];
            for (int e = 1 + static_cast<int>(rng() % 6); e > 0 && !f.empty(); --e) {
                const std::size_t at = rng() % (f.size() + 1);
                switch (rng() % 5) {
                    case 0: if (at < f.size()) f[at] = static_cast<char>(rng() & 0xFF); break;  // flip a byte
                    case 1: f.erase(at, rng() % 20); break;                                    // drop a run
                    case 2: f.insert(at, pieces[rng() % pieces.size()]); break;                // a layout piece
                    case 3: if (at < f.size()) f.insert(at, f.substr(at, rng() % 60)); break;  // repeat a run
                    default: f.resize(at); break;                                              // cut the end
                }
            }
        }
        accepted += readAndCheck(f);
    }
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, 4000);
}

}  // namespace
}  // namespace letrador
