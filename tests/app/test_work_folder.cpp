// The working folder rule, the port-to-device rule, and probing a mapped pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <fstream>

#include "app/work_folder.h"
#include "platform/qt_serial_link.h"
#include "settings/plain_options_view.h"
#include "settings/port_discovery.h"
#include "settings/port_mapping.h"
#include "tests/app/app_rig.h"

namespace fs = std::filesystem;

namespace letrador {
namespace {

using testing::ScratchFolder;

TEST(WorkFolder, CurrentFolderWithFontsOtherwiseTheUserDataFolder) {
    ScratchFolder s;
    fs::create_directories(s.path() / "here" / "tipografias");
    auto here = ChooseWorkFolder(s.path() / "here", nullptr, "/home/x");
    EXPECT_EQ(here.folder, s.path() / "here");
    EXPECT_FALSE(here.isUserDataFolder);
    auto xdg = ChooseWorkFolder(s.path(), "/datos", "/home/x");
    EXPECT_EQ(xdg.folder, fs::path("/datos/letrador"));
    EXPECT_TRUE(xdg.isUserDataFolder);
    EXPECT_EQ(ChooseWorkFolder(s.path(), "", "/home/x").folder,
              fs::path("/home/x/.local/share/letrador"));
}

TEST(WorkFolder, PreparingCreatesMissingFoldersAndSeedsWithoutOverwriting) {
    ScratchFolder s;
    fs::create_directories(s.path() / "seed" / "tipografias");
    std::ofstream(s.path() / "seed" / "tipografias" / "normal.ffv") << "seed";
    std::ofstream(s.path() / "seed" / "leeme.txt") << "seed";
    fs::create_directories(s.path() / "work");
    std::ofstream(s.path() / "work" / "leeme.txt") << "mine";
    ASSERT_TRUE(PrepareWorkFolder(s.path() / "work", s.path() / "seed"));
    for (const char* sub : {"tipografias", "mensajes", "ayuda/Archivos", "puertos"})
        EXPECT_TRUE(fs::is_directory(s.path() / "work" / sub)) << sub;
    EXPECT_TRUE(fs::exists(s.path() / "work" / "tipografias" / "normal.ffv"));
    std::ifstream mine(s.path() / "work" / "leeme.txt");
    std::string content;
    mine >> content;
    EXPECT_EQ(content, "mine");
    // No seed at all is fine too.
    EXPECT_TRUE(PrepareWorkFolder(s.path() / "other", s.path() / "nothing"));
    EXPECT_TRUE(fs::is_directory(s.path() / "other" / "mensajes"));
}

// An unpacked installed tree seeds from its own share/letrador, not from the build's prefix.
TEST(WorkFolder, InstalledDataIsFoundBesideTheProgram) {
    ScratchFolder s;
    const fs::path tree = s.path() / "raiz" / "usr";
    fs::create_directories(tree / "bin");
    EXPECT_EQ(InstalledDataFolder(tree / "bin" / "letrador"), fs::path(LETRADOR_INSTALLED_DATA));
    fs::create_directories(tree / "share" / "letrador" / "tipografias");
    EXPECT_EQ(InstalledDataFolder(tree / "bin" / "letrador"), tree / "share" / "letrador");
    EXPECT_EQ(InstalledDataFolder(fs::path()), fs::path(LETRADOR_INSTALLED_DATA));
}

TEST(PortMapping, DefaultRangesAndPuertosEntries) {
    ScratchFolder s;
    EXPECT_EQ(PortDevicePath(s.path(), 1), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath(s.path(), 32), "/dev/ttyS31");
    EXPECT_EQ(PortDevicePath(s.path(), 33), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(s.path(), 64), "/dev/ttyUSB31");
    EXPECT_EQ(PortDevicePath(s.path(), 65), "/dev/ttyACM0");
    EXPECT_EQ(PortDevicePath(s.path(), 96), "/dev/ttyACM31");
    EXPECT_EQ(PortDevicePath(s.path(), 97), "");
    EXPECT_EQ(PortDevicePath(s.path(), 0), "");
    EXPECT_EQ(PortDevicePath(s.path(), 256), "");
    fs::create_directories(s.path() / "puertos");
    std::ofstream(s.path() / "puertos" / "COM200") << "  /dev/pts/9 \r\n";
    EXPECT_EQ(PortDevicePath(s.path(), 200), "/dev/pts/9");
    fs::create_symlink("/dev/ttyUSB4", s.path() / "puertos" / "COM2");
    EXPECT_EQ(PortDevicePath(s.path(), 2), (s.path() / "puertos" / "COM2").string());
}

// A `puertos/COMn` entry that is not a link or a small file names no device, and looking at it
// never waits (a FIFO with no writer would block a plain read for ever).
TEST(PortMapping, AnEntryOfAnyOtherKindIsNoDevice) {
    ScratchFolder s;
    const fs::path puertos = s.path() / "puertos";
    fs::create_directories(puertos / "COM3");
    ASSERT_EQ(::mkfifo((puertos / "COM1").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((puertos / "COM150").c_str(), 0600), 0);
    std::ofstream(puertos / "COM40") << "/dev/pts/4" << std::string(5000, ' ') << "\n";
    std::ofstream(puertos / "COM41") << "\n/dev/pts/4\n";
    std::ofstream(puertos / "COM42") << "/dev/pts/4";
    for (int n : {1, 3, 40, 41, 150}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(PortDevicePath(s.path(), n), "");
    }
    EXPECT_EQ(PortDevicePath(s.path(), 42), "/dev/pts/4");
}

// A pseudo-terminal mapped as COM<n> opens; numbers without a device do not.
TEST(PortMapping, ProbingFindsAPseudoTerminalMappedAsAPort) {
    testing::TestApp();
    ScratchFolder s;
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    fs::create_directories(s.path() / "puertos");
    fs::create_symlink(ptsname(master), s.path() / "puertos" / "COM150");
    std::ofstream(s.path() / "puertos" / "COM151") << "/dev/no-existe\n";
    platform::QtSerialLink link([&](int n) { return PortDevicePath(s.path(), n); });
    EXPECT_TRUE(ProbarPuerto(link, 150));
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(ProbarPuerto(link, 151));
    EXPECT_FALSE(ProbarPuerto(link, 200));
    EXPECT_EQ(link.port(), 200);
    PlainOptionsView options;
    // Only the mapped numbers above 96 are looked at here: the machine's own ttyS ports vary.
    int found = 0;
    for (int n = 97; n <= 255; ++n) {
        if (ProbarPuerto(link, n)) {
            options.addPort(DecimalText(n), PortDevicePath(s.path(), n));
            ++found;
        }
    }
    EXPECT_EQ(found, 1);
    ASSERT_EQ(options.ports().size(), 1u);
    EXPECT_EQ(options.ports()[0].number, "150");
    close(master);
}

}  // namespace
}  // namespace letrador
