// "Puertos de red" over a scratch working folder, scripted boxes and scripted link threads: what
// each button leaves in puertos/ and says, and "Probar"'s exchange on a thread of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <future>
#include <set>

#include "platform/scripted_dialogs.h"
#include "platform/scripted_link_thread.h"
#include "settings/frm_puertos_red.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

struct PortsRig {
    PortsRig() { fs::create_directories(puertos); }
    QWidget* child(const char* name) const { return window.findChild<QWidget*>(name); }
    void click(const char* button) const { static_cast<QPushButton*>(child(button))->click(); }
    QListWidget* list() const { return window.findChild<QListWidget*>("lstPuertosRed"); }
    // The text of a box or label; of a combo box ("cbo..."), its current text.
    const char* textOf(const char* name) const { return name[0] == 'c' ? "currentText" : "text"; }
    std::string text(const char* name) const { return child(name)->property(textOf(name)).toString().toStdString(); }
    // The four fields (COM number, type, server, port), once `typed` is written into them.
    Strings fields(const Strings& typed = {}) const {
        Strings out;
        for (const char* name : {"txtRedNumero", "cboRedTipo", "txtRedServidor", "txtRedPuerto"}) {
            if (!typed.empty()) child(name)->setProperty(textOf(name), QString::fromStdString(typed[out.size()]));
            out.push_back(text(name));
        }
        return out;
    }
    Strings listed() const {
        Strings out;
        for (int k = 0; k < list()->count(); ++k) out.push_back(list()->item(k)->text().toStdString());
        return out;
    }
    // Every entry of puertos/ with what it is: "-> target" for a link, "<carpeta>", or its bytes.
    std::set<std::string> entries() const {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(puertos)) {
            std::ifstream in(e.path(), std::ios::binary);
            std::string what = e.is_symlink() ? "-> " + fs::read_symlink(e.path()).string() : "<carpeta>";
            if (e.is_regular_file()) what.assign(std::istreambuf_iterator<char>(in), {});
            out.insert(e.path().filename().string() + " " + what);
        }
        return out;
    }
    void write(int n, const std::string& line) const {
        std::ofstream(puertos / ("COM" + std::to_string(n)), std::ios::binary) << line << "\r\n";
    }

    static inline int argc = 1;
    static inline char name[] = "test_settings", *argv[] = {name, nullptr};
    QApplication& app = qApp ? *qApp : *new QApplication(argc, argv);  // one for the whole run
    ScratchFolder scratch;
    fs::path puertos = scratch.path() / "puertos";
    platform::ScriptedDialogs dialogs;
    platform::ScriptedLinkThreads threads;
    int returned = 0;
    frmPuertosRed window{{scratch.path(), dialogs, threads.maker(), [this] { ++returned; }}};
};

// Every button over one folder. "Guardar" refuses in Spanish what cannot be saved, asks before
// giving a number that already leads somewhere to the server, and moves an entry whose number
// changed; an entry is one whole line or nothing. "Quitar" asks, and never removes what is no
// longer a network entry. Only network entries are listed; Esc closes the window.
TEST(NetworkPortsWindow, EachButtonSaysWhatItDidAndLeavesPuertosAsSaid) {
    PortsRig rig;
    fs::create_symlink("/dev/ttyUSB0", rig.puertos / "COM9");
    fs::create_directory(rig.puertos / "COM8");
    for (auto [n, line] : {std::pair{7, "rfc2217://b:2"}, {40, "tcp://roto"}, {41, "/dev/pts/4"}})
        rig.write(n, line);
    rig.window.mostrar();
    EXPECT_EQ(rig.listed(), (Strings{"COM 7   rfc2217://b:2", "COM 40   tcp://roto"}));
    const std::string device = "El puerto COM 9 ya lleva al dispositivo /dev/ttyUSB0.\r\n"
                               "¿Desea que lleve al servidor de red en su lugar?";
    // Typed (none: "Nuevo"), the answer, what is said, and the result line's address afterwards.
    const std::tuple<Strings, bool, Strings, std::string> steps[] = {
        {{"256", "tcp", "srv", "4001"}, true, {"El número de puerto COM debe estar entre 1 y 255."}, ""},
        {{"9", "tcp", "  ", "4001"}, true, {"Falta el servidor: su nombre o su dirección."}, ""},
        {{"9", "tcp", "mi servidor", "1"}, true, {"El servidor no puede tener espacios ni los caracteres / @ [ ]."}, ""},
        {{"9", "tcp", "srv", "65536"}, true, {"El puerto de red debe estar entre 1 y 65535."}, ""},
        {{"9", "tcp", "srv", "99999999999"}, true, {"El puerto de red debe estar entre 1 y 65535."}, ""},
        {{"9", "tcp", "srv", "4001"}, false, {device}, ""},
        {{"9", "tcp", "srv", "4001"}, true, {device}, "COM 9: tcp://srv:4001"},
        {{"9", "tcp", "a", "2"}, true, {}, "COM 9: tcp://a:2"},  // its own number: no question
        {{"7", "tcp", "c", "3"}, true,
         {"El puerto COM 7 ya es el puerto de red rfc2217://b:2.\r\n¿Desea reemplazarlo?"}, "COM 7: tcp://c:3"},
        {{"8", "tcp", "d", "4"}, true,
         {"Ya hay una entrada puertos/COM8 que no es un puerto de red.\r\n¿Desea reemplazarla?",
          "No se pudo guardar el puerto COM 8: Es una carpeta, no un archivo."}, "COM 7: tcp://c:3"},
        {{}, true, {}, "COM 7: tcp://c:3"},
        {{" 255 ", "rfc2217", " [::1] ", "000001"}, true, {}, "COM 255: rfc2217://[::1]:1"},
    };
    for (const auto& [typed, yes, said, saved] : steps) {
        SCOPED_TRACE(typed.empty() ? "Nuevo" : typed[0] + " " + typed[2] + " " + typed[3]);
        rig.dialogs.clear();
        rig.dialogs.defaultAnswer = yes;
        if (typed.empty()) rig.click("cmdRedNuevo");
        EXPECT_EQ(rig.fields(typed), (typed.empty() ? Strings{"", "tcp", "", ""} : typed));
        if (!typed.empty()) rig.click("cmdRedGuardar");
        EXPECT_EQ(rig.dialogs.texts(), said);
        for (const auto& box : rig.dialogs.shown) EXPECT_TRUE(!box.isQuestion || box.title == "Puertos de red");
        EXPECT_EQ(rig.text("lblRedResultado"), saved.empty() ? "" : "Se guardó el puerto " + saved + ".");
    }
    EXPECT_EQ(rig.listed(), (Strings{"COM 7   tcp://c:3", "COM 40   tcp://roto", "COM 255   rfc2217://[::1]:1"}));
    rig.click("cmdRedNuevo");
    EXPECT_FALSE(rig.child("cmdRedQuitar")->isEnabled() || rig.child("cmdRedProbar")->isEnabled());
    rig.list()->item(1)->setSelected(true);
    EXPECT_EQ(rig.fields(), (Strings{"40", "tcp", "roto", ""}));  // not an address: as it stands
    rig.list()->item(0)->setSelected(true);
    EXPECT_EQ(rig.fields(), (Strings{"7", "tcp", "c", "3"}));
    EXPECT_TRUE(rig.child("cmdRedQuitar")->isEnabled() && rig.child("cmdRedProbar")->isEnabled());
    rig.dialogs.clear();
    for (bool yes : {false, true}) {
        rig.dialogs.defaultAnswer = yes;
        rig.click("cmdRedQuitar");
        EXPECT_EQ(rig.dialogs.texts(), Strings(yes ? 2 : 1, "¿Desea quitar el puerto de red COM 7 (tcp://c:3)?"));
    }
    EXPECT_EQ(rig.text("lblRedResultado"), "Se quitó el puerto COM 7.");
    EXPECT_EQ(rig.fields(), (Strings{"", "tcp", "", ""}));
    rig.list()->item(0)->setSelected(true);
    rig.write(40, "/dev/pts/5");
    rig.click("cmdRedQuitar");
    EXPECT_EQ(rig.dialogs.texts().back(), "No se pudo quitar el puerto COM 40: El puerto COM 40 no es un puerto de red.");
    EXPECT_EQ(rig.entries(), (std::set<std::string>{"COM8 <carpeta>", "COM40 /dev/pts/5\r\n",
                                                    "COM41 /dev/pts/4\r\n", "COM255 rfc2217://[::1]:1\r\n"}));
    rig.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
    QTest::keyClick(&rig.window, Qt::Key_Escape);
    EXPECT_TRUE(!rig.window.isVisible() && rig.returned == 1);
}

// "Probar" opens the chosen entry's port on a thread of its own and makes the opening's
// recognition (attention, then model, three attempts); the window goes on meanwhile.
TEST(NetworkPortsWindow, ProbarAsksTheSignOnAThreadOfItsOwn) {
    using Link = platform::ScriptedSerialLink;
    const std::tuple<std::function<void(Link&)>, Bytes, std::string> rows[] = {  // the sign, bytes written, said
        {[](Link& l) { l.setResponder(CompatibleSign()); }, {0xC3, 0x01}, "El cartel respondió."},
        {[](Link& l) { l.setResponder([](std::uint8_t) { return Step{}; }); }, {0xC3, 0xC3, 0xC3},
         "El servidor respondió pero el cartel no contestó."},
        {[](Link& l) { l.queueReplies({0xC4, 0x33}); }, {0xC3, 0x01}, "Contestó un cartel, pero de otro modelo."},
        {[](Link& l) { l.setOpenablePorts({}); l.openFailureReason = "el servidor rechazó la conexión"; },
         {}, "No se pudo conectar: el servidor rechazó la conexión"},
    };
    for (const auto& [sign, written, said] : rows) {
        SCOPED_TRACE(said);
        PortsRig rig;
        rig.write(9, "tcp://srv:4001");
        // The job holds until let go: a window that waited for it would let it go by time-out.
        std::promise<void> letGo;
        std::shared_future<void> go = letGo.get_future().share();
        std::atomic<bool> held{false};
        rig.threads.script = [&, go](Link& link) {
            held = go.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
            sign(link);
        };
        rig.window.mostrar();
        rig.list()->item(0)->setSelected(true);
        rig.click("cmdRedProbar");
        EXPECT_TRUE(rig.window.probing() && !rig.child("cmdRedProbar")->isEnabled());
        EXPECT_EQ(rig.text("lblRedResultado"), "Probando el puerto COM 9…");
        letGo.set_value();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.window.probing(); }, 30000));
        EXPECT_EQ(rig.text("lblRedResultado"), "COM 9: " + said);
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.threads.runs().size() == 1; }, 30000));
        const auto run = rig.threads.runs()[0];
        EXPECT_TRUE(held && run.thread != std::this_thread::get_id());
        EXPECT_EQ(run.written, written);
        EXPECT_EQ(run.openedPorts, written.empty() ? std::vector<int>{} : std::vector<int>{9});
    }
}

}  // namespace
}  // namespace letrador::testing
