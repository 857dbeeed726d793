// "Puertos de red" over a scratch working folder, scripted message boxes and scripted link
// threads: what each button leaves in puertos/ and says, and "Probar"'s exchange with the sign,
// made on a thread of its own while the window goes on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <iterator>

#include "platform/scripted_dialogs.h"
#include "platform/scripted_link_thread.h"
#include "settings/frm_puertos_red.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;
using platform::ScriptedSerialLink;
using Step = ScriptedSerialLink::Step;

struct PortsRig {
    PortsRig() { fs::create_directories(puertos); }
    template <typename W>
    W* child(const char* name) const { return window.findChild<W*>(QString::fromUtf8(name)); }
    void press(const char* name) const { child<QPushButton>(name)->click(); }
    void type(const char* numero, const char* tipo, const char* servidor, const char* puerto) const {
        child<QLineEdit>("txtRedNumero")->setText(QString::fromUtf8(numero));
        child<QComboBox>("cboRedTipo")->setCurrentText(QString::fromUtf8(tipo));
        child<QLineEdit>("txtRedServidor")->setText(QString::fromUtf8(servidor));
        child<QLineEdit>("txtRedPuerto")->setText(QString::fromUtf8(puerto));
    }
    std::vector<std::string> fields() const {
        return {child<QLineEdit>("txtRedNumero")->text().toStdString(),
                child<QComboBox>("cboRedTipo")->currentText().toStdString(),
                child<QLineEdit>("txtRedServidor")->text().toStdString(),
                child<QLineEdit>("txtRedPuerto")->text().toStdString()};
    }
    std::vector<std::string> listed() const {
        std::vector<std::string> out;
        auto* list = child<QListWidget>("lstPuertosRed");
        for (int k = 0; k < list->count(); ++k) out.push_back(list->item(k)->text().toStdString());
        return out;
    }
    void choose(int row) const { child<QListWidget>("lstPuertosRed")->item(row)->setSelected(true); }
    std::string result() const { return child<QLabel>("lblRedResultado")->text().toStdString(); }
    // What puertos/COMn is: "" none, "-> target" a link, "<carpeta>", else its bytes.
    std::string entry(int n) const {
        const fs::path p = puertos / ("COM" + std::to_string(n));
        std::error_code ec;
        const auto status = fs::symlink_status(p, ec);
        if (ec || !fs::exists(status)) return "";
        if (fs::is_symlink(status)) return "-> " + fs::read_symlink(p).string();
        if (fs::is_directory(status)) return "<carpeta>";
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void write(int n, const std::string& line) const {
        std::ofstream(puertos / ("COM" + std::to_string(n)), std::ios::binary) << line << "\r\n";
    }

    struct AppFirst {
        AppFirst() {
            static int argc = 1;
            static char name[] = "test_settings";
            static char* argv[] = {name, nullptr};
            static QApplication* app = new QApplication(argc, argv);
            (void)app;
        }
    } app_;
    ScratchFolder scratch;
    fs::path puertos = scratch.path() / "puertos";
    platform::ScriptedDialogs dialogs;
    platform::ScriptedLinkThreads threads;
    int returned = 0;
    frmPuertosRed window{{scratch.path(), dialogs, threads.maker(), [this] { ++returned; }}};
};

// "Guardar" refuses in Spanish what cannot be saved and writes nothing; it asks before giving a
// number that already leads somewhere to the server.
TEST(NetworkPortsWindow, GuardarRefusesWhatCannotBeSavedAndAsksBeforeReplacing) {
    const std::string ask = "El puerto COM 9 ya lleva al dispositivo /dev/ttyUSB0.\r\n"
                            "¿Desea que lleve al servidor de red en su lugar?";
    const struct {
        const char *numero, *tipo, *servidor, *puerto;
        const char* before;  // COM9 before: "" none, "link" a link to /dev/ttyUSB0, "dir", or a line
        bool yes;
        std::vector<std::string> said;
        std::string after;
    } rows[] = {
        {"256", "tcp", "srv", "4001", "", true, {"El número de puerto COM debe estar entre 1 y 255."}, ""},
        {"9", "tcp", "  ", "4001", "", true, {"Falta el servidor: su nombre o su dirección."}, ""},
        {"9", "tcp", "mi servidor", "4001", "", true, {"El servidor no puede tener espacios ni los caracteres / @ [ ]."}, ""},
        {"9", "tcp", "srv", "65536", "", true, {"El puerto de red debe estar entre 1 y 65535."}, ""},
        {"9", "tcp", "srv", "40x", "", true, {"El puerto de red debe estar entre 1 y 65535."}, ""},
        {" 9 ", "rfc2217", " [::1] ", "4001", "", true, {}, "rfc2217://[::1]:4001\r\n"},
        {"9", "tcp", "srv", "4001", "link", false, {ask}, "-> /dev/ttyUSB0"},
        {"9", "tcp", "srv", "4001", "link", true, {ask}, "tcp://srv:4001\r\n"},
        {"9", "tcp", "srv", "4001", "tcp://viejo:1", true,
         {"El puerto COM 9 ya es el puerto de red tcp://viejo:1.\r\n¿Desea reemplazarlo?"}, "tcp://srv:4001\r\n"},
        {"9", "tcp", "srv", "4001", "dir", true,
         {"Ya hay una entrada puertos/COM9 que no es un puerto de red.\r\n¿Desea reemplazarla?",
          "No se pudo guardar el puerto COM 9: Es una carpeta, no un archivo."}, "<carpeta>"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.numero) + " " + r.servidor + " " + r.puerto + " " + r.before);
        PortsRig rig;
        const std::string before = r.before;
        if (before == "link") fs::create_symlink("/dev/ttyUSB0", rig.puertos / "COM9");
        else if (before == "dir") fs::create_directory(rig.puertos / "COM9");
        else if (!before.empty()) rig.write(9, before);
        rig.window.mostrar();
        rig.dialogs.answerNext(r.yes);
        rig.type(r.numero, r.tipo, r.servidor, r.puerto);
        rig.press("cmdRedGuardar");
        EXPECT_EQ(rig.dialogs.texts(), r.said);
        EXPECT_EQ(rig.entry(9), r.after);
        if (!r.said.empty() && rig.dialogs.shown[0].isQuestion) {
            EXPECT_EQ(rig.dialogs.shown[0].title, "Puertos de red");
        }
    }
}

// The list holds the network entries only; an entry is changed (its number moves it) and
// removed after a question; "Cerrar" gives the options back.
TEST(NetworkPortsWindow, ListsChangesAndRemovesTheNetworkEntries) {
    PortsRig rig;
    fs::create_symlink("/dev/ttyUSB0", rig.puertos / "COM3");
    rig.write(20, "tcp://a:1");
    rig.write(7, "rfc2217://b:2");
    rig.write(40, "tcp://roto");
    rig.write(41, "/dev/pts/4");
    rig.window.mostrar();
    EXPECT_EQ(rig.listed(), (std::vector<std::string>{"COM 7   rfc2217://b:2", "COM 20   tcp://a:1", "COM 40   tcp://roto"}));
    EXPECT_FALSE(rig.child<QPushButton>("cmdRedQuitar")->isEnabled());
    EXPECT_FALSE(rig.child<QPushButton>("cmdRedProbar")->isEnabled());
    rig.choose(2);
    EXPECT_EQ(rig.fields(), (std::vector<std::string>{"40", "tcp", "roto", ""}));
    rig.choose(1);
    EXPECT_EQ(rig.fields(), (std::vector<std::string>{"20", "tcp", "a", "1"}));
    EXPECT_TRUE(rig.child<QPushButton>("cmdRedQuitar")->isEnabled());
    EXPECT_TRUE(rig.child<QPushButton>("cmdRedProbar")->isEnabled());
    rig.type("21", "rfc2217", "a", "1");
    rig.press("cmdRedGuardar");
    EXPECT_TRUE(rig.dialogs.shown.empty());
    EXPECT_EQ(rig.entry(20), "");
    EXPECT_EQ(rig.entry(21), "rfc2217://a:1\r\n");
    EXPECT_EQ(rig.listed()[1], "COM 21   rfc2217://a:1");
    // Saved again under its own number: no question.
    rig.type("21", "tcp", "a", "2");
    rig.press("cmdRedGuardar");
    EXPECT_TRUE(rig.dialogs.shown.empty());
    EXPECT_EQ(rig.entry(21), "tcp://a:2\r\n");
    for (bool yes : {false, true}) {
        rig.dialogs.answerNext(yes);
        rig.press("cmdRedQuitar");
        EXPECT_EQ(rig.dialogs.texts().back(), "¿Desea quitar el puerto de red COM 21 (tcp://a:2)?");
        EXPECT_EQ(rig.entry(21), yes ? "" : "tcp://a:2\r\n");
    }
    EXPECT_EQ(rig.listed(), (std::vector<std::string>{"COM 7   rfc2217://b:2", "COM 40   tcp://roto"}));
    EXPECT_EQ(rig.fields(), (std::vector<std::string>{"", "tcp", "", ""}));
    EXPECT_EQ(rig.entry(3), "-> /dev/ttyUSB0");
    EXPECT_EQ(rig.entry(41), "/dev/pts/4\r\n");
    rig.press("cmdCerrar");
    EXPECT_FALSE(rig.window.isVisible());
    EXPECT_EQ(rig.returned, 1);
}

// "Probar" opens the chosen entry's port on a thread of its own and makes the opening's
// recognition (attention, then model, with the opening's three attempts); the window goes on
// meanwhile and then says what came back.
TEST(NetworkPortsWindow, ProbarAsksTheSignOnAThreadOfItsOwn) {
    const struct {
        const char* name;
        std::function<void(ScriptedSerialLink&)> sign;
        Bytes written;
        std::string said;
    } rows[] = {
        {"a compatible sign", [](ScriptedSerialLink& l) { l.setResponder(CompatibleSign()); },
         {0xC3, 0x01}, "COM 9: El cartel respondió."},
        {"answers the second attention",
         [](ScriptedSerialLink& l) { l.queue(Step{}); l.setResponder(CompatibleSign()); },
         {0xC3, 0xC3, 0x01}, "COM 9: El cartel respondió."},
        {"nobody behind the server", [](ScriptedSerialLink& l) { l.setResponder([](std::uint8_t) { return Step{}; }); },
         {0xC3, 0xC3, 0xC3}, "COM 9: El servidor respondió pero el cartel no contestó."},
        {"another model", [](ScriptedSerialLink& l) { l.queueReplies({0xC4, 0x33}); },
         {0xC3, 0x01}, "COM 9: Contestó un cartel, pero de otro modelo."},
        {"the server refuses", [](ScriptedSerialLink& l) {
             l.setOpenablePorts({});
             l.openFailureReason = "el servidor srv:4001 rechazó la conexión";
         }, {}, "COM 9: No se pudo conectar: el servidor srv:4001 rechazó la conexión"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        PortsRig rig;
        rig.write(9, "tcp://srv:4001");
        // The job holds until the test lets it go: a window that waited for it would see it
        // let go by the time-out instead.
        std::promise<void> letGo;
        std::shared_future<void> go = letGo.get_future().share();
        std::atomic<bool> heldUntilLetGo{false};
        rig.threads.script = [&, go](ScriptedSerialLink& link) {
            heldUntilLetGo = go.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
            r.sign(link);
        };
        rig.window.mostrar();
        rig.choose(0);
        rig.press("cmdRedProbar");
        EXPECT_TRUE(rig.window.probing());
        EXPECT_FALSE(rig.child<QPushButton>("cmdRedProbar")->isEnabled());
        EXPECT_EQ(rig.result(), "Probando el puerto COM 9…");
        letGo.set_value();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.window.probing(); }, 30000));
        EXPECT_EQ(rig.result(), r.said);
        EXPECT_TRUE(rig.child<QPushButton>("cmdRedProbar")->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.threads.runs().size() == 1; }, 30000));
        const auto run = rig.threads.runs()[0];
        EXPECT_TRUE(heldUntilLetGo);
        EXPECT_NE(run.thread, std::this_thread::get_id());
        EXPECT_EQ(run.written, r.written);
        EXPECT_EQ(run.openedPorts, r.written.empty() ? std::vector<int>{} : std::vector<int>{9});
        EXPECT_TRUE(rig.dialogs.shown.empty());
    }
}

}  // namespace
}  // namespace letrador::testing
