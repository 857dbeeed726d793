// letrador-servicio as a process, with cartel-virtual signs on its ports: who gets in, what its
// pages write, what the signs receive from the keypads and the programme, and the service under
// load while another meets the lock of the sign it records.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "tests/service/service_rig.h"

namespace letrador::testing {
namespace {

std::string Text(const std::filesystem::path& file) { return ChildProcess::FileText(file); }
bool Has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }
// For pageWhen: the page shows `piece`, no recording under way and the last one clean.
auto Settled(std::string piece) {
    return [=](const std::string& b) { return Has(b, piece) && Has(b, "sin errores") && !Has(b, "grabando"); };
}

// Without a session every page leads to the login and every action gets 401; with one, an
// action without the session's token gets 403, and a name that could lead out of its folder 400.
TEST(ServiceAccess, EveryPageAndActionAnswersAsTheSessionTokenAndLoginLimitAllow) {
    ServiceRig rig;
    ASSERT_TRUE(rig.open()) << rig.log();
    const httplib::Headers none;
    const std::tuple<const char*, bool, int> rows[] = {
        // method, path and form ("CSRF" for the session's token), signed in, status
        {"GET /entrar", false, 200}, {"GET /estatico/estilo.css", false, 200}, {"GET /mensajes", false, 303},
        {"GET /mensajes?m=bienvenida.fmv", false, 303}, {"GET /rapido", false, 303}, {"GET /turnos", false, 303},
        {"GET /programa", false, 303}, {"GET /estado", false, 303}, {"GET /grabacion?id=1", false, 303},
        {"GET /mensajes/imagen?m=bienvenida.fmv&p=1", false, 401}, {"GET /rapido/vista?texto=a", false, 401},
        {"GET /grabacion/eventos?id=1", false, 401}, {"GET /grabacion/datos?id=1", false, 401},
        {"POST /mensajes/grabar m=bienvenida.fmv&puerto=3", false, 401}, {"POST /turnos/pulsar", false, 401},
        {"POST /programa/agregar", false, 401}, {"POST /grabacion/detener", false, 401},
        {"POST /rapido/guardar", false, 401}, {"POST /carteles/buscar", false, 401}, {"POST /salir", false, 401},
        {"GET /mensajes?m=bienvenida.fmv", true, 200}, {"GET /mensajes/imagen?m=bienvenida.fmv&p=1", true, 200},
        {"POST /turnos/agregar nombre=Caja&puerto=3&estilo=1", true, 403},
        {"POST /turnos/agregar csrf=00ff&nombre=Caja&puerto=3&estilo=1", true, 403},
        {"POST /rapido/guardar csrf=abc&texto=a&fuente=normal.ffv&nombre=b", true, 403},
        {"GET /mensajes?m=../../etc/passwd", true, 400}, {"GET /mensajes/imagen?m=..%2Fmensajes%2Fbienvenida.fmv&p=1", true, 400},
        {"GET /rapido/vista?texto=a&fuente=..%2F..%2Fetc%2Fpasswd", true, 400},
        {"POST /mensajes/grabar CSRF&m=../a.fmv&puerto=3", true, 400},
        {"POST /rapido/guardar CSRF&texto=a&fuente=normal.ffv&nombre=../x.fmv", true, 400},
        {"GET /estatico/../servicio/clave", true, 404},
    };
    for (const auto& [request, signedIn, status] : rows) {
        SCOPED_TRACE(request);
        std::string method, path, form;
        std::istringstream(request) >> method >> path >> form;
        if (form.rfind("CSRF", 0) == 0) form.replace(0, 4, "csrf=" + rig.csrf());
        auto client = rig.client();
        const auto& h = signedIn ? rig.session() : none;
        const auto r = method == "GET" ? client->Get(path, h) : client->Post(path, h, form, "application/x-www-form-urlencoded");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, status) << r->body;
        EXPECT_EQ(r->get_header_value("Location"), status == 303 ? "/entrar" : "");
    }
    // The sixth failed login in a minute gets 429, even with the right password; big bodies are
    // refused; the session already open goes on.
    auto client = rig.client();
    const auto good = client->Post("/entrar", httplib::Params{{"clave", kTestPassword}});
    ASSERT_TRUE(good);
    EXPECT_TRUE(Has(good->get_header_value("Set-Cookie"), "; HttpOnly; SameSite=Strict"));
    EXPECT_FALSE(Has(good->get_header_value("Set-Cookie"), "Secure")) << "no TLS, no Secure";
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(client->Post("/entrar", httplib::Params{{"clave", "mala"}})->status, 401) << k;
    EXPECT_EQ(client->Post("/entrar", httplib::Params{{"clave", kTestPassword}})->status, 429);
    const auto big = rig.post("/turnos/agregar", "nombre=" + std::string(10u << 20, 'a'));
    EXPECT_TRUE(!big || big->status == 413) << (big ? big->status : 0);
    EXPECT_EQ(rig.get("/estado")->status, 200);
}

// A quick message is saved asking before it replaces a file, and refused over the capacity;
// "Detener" stops a sign at its next exchange; programme entries are added, changed and removed
// in the file, keeping the other lines.
TEST(ServicePages, QuickMessageIsSavedDetenerStopsTheSignAndProgrammeEntriesAreWritten) {
    ServiceRig rig;
    ASSERT_TRUE(rig.open({8}, ServiceRig::Late(10))) << rig.log();
    const auto saved = rig.post("/rapido/guardar", "texto=Hoy%3A+pan+dulce%3C3%3E&fuente=normal.ffv&nombre=oferta");
    EXPECT_EQ(std::pair(saved->status, saved->get_header_value("Location")), std::pair(303, std::string("/mensajes?m=oferta.fmv")));
    const std::string bytes = Text(rig.work() / "mensajes" / "oferta.fmv");
    EXPECT_TRUE(Has(bytes, "\"normal.ffv\"\r\n\"Hoy: pan dulce<3>\"\r\n")) << bytes;
    const auto asked = rig.post("/rapido/guardar", "texto=Otro&fuente=normal.ffv&nombre=oferta.fmv");
    EXPECT_EQ(asked->status, 409);
    EXPECT_TRUE(Has(asked->body, "El archivo oferta.fmv ya existe. ¿Desea reemplazarlo?"));
    EXPECT_EQ(Text(rig.work() / "mensajes" / "oferta.fmv"), bytes);
    EXPECT_EQ(rig.post("/rapido/guardar", "texto=Otro&fuente=normal.ffv&nombre=oferta.fmv&confirmar=si")->status, 303);
    EXPECT_TRUE(Has(rig.get("/mensajes?m=oferta.fmv")->body, "<p class=\"texto\">Otro</p>"));
    // Over the sign's capacity it is refused as "&Total" refuses it, and nothing is recorded.
    const auto refused = rig.post("/rapido/grabar", "texto=" + std::string(400, 'H') + "&fuente=normal.ffv&puerto=3");
    EXPECT_EQ(refused->status, 422);
    EXPECT_TRUE(Has(refused->body, "No se puede grabar el mensaje porque excede la capacidad del cartel.") &&
                Has(refused->body, "Capacidad excedida.")) << refused->body;
    const std::string where = rig.record("m=horario.fmv&puerto=8"), id = where.substr(where.find('=') + 1);
    EXPECT_EQ(rig.post("/grabacion/detener", "id=" + id)->status, 303);
    const std::string json = rig.pageWhen("/grabacion/datos?id=" + id, [](const std::string& b) { return Has(b, "\"ended\":true"); });
    for (const char* piece : {"Grabación detenida por el operador.", "\"verdict\":\"Hubo errores en la grabación.\"",
                              "\"words\":\"detenida por el operador\""})
        EXPECT_TRUE(Has(json, piece)) << json;
    // The status page names every sign found by its port and the device that port stands for.
    const std::string status = rig.get("/estado")->body;
    EXPECT_TRUE(Has(status, "COM 8</td><td data-titulo=\"Dirección\">" + (rig.work() / "puertos" / "COM8").string()));
    EXPECT_FALSE(Has(status, "\"Dirección\">—<")) << status;
    const auto file = rig.work() / "programa.txt";
    std::ofstream(file, std::ios::binary) << "# mi programa\r\nlu 09:00 3 horario.fmv\r\nroto\r\n";
    EXPECT_EQ(rig.post("/programa/agregar", "dia=sa&dia=do&hora=10:30&carteles=3,7&mensaje=d%C3%ADa.fmv")->status, 303);
    EXPECT_EQ(Text(file), "# mi programa\r\nlu 09:00 3 horario.fmv\r\nroto\r\nsa,do 10:30 3,7 d\xED" "a.fmv\r\n");
    const auto bad = rig.post("/programa/agregar", "dia=lu&hora=25:00&carteles=3&mensaje=a.fmv");
    EXPECT_EQ(bad->status, 422);
    EXPECT_TRUE(Has(bad->body, "hora no válida") && Has(bad->body, "programa.txt, línea 3: faltan datos")) << bad->body;
    EXPECT_EQ(rig.post("/programa/cambiar", "linea=1&anterior=lu+09:00+3+horario.fmv&dia=lu&dia=ma&dia=mi"
                                            "&hora=09:15&carteles=7&mensaje=horario.fmv")->status, 303);
    // A line changed meanwhile is left alone.
    EXPECT_EQ(rig.post("/programa/quitar", "linea=1&anterior=lu+09:00+3+horario.fmv")->status, 422);
    EXPECT_EQ(rig.post("/programa/quitar", "linea=3&anterior=sa,do+10:30+3,7+d%C3%ADa.fmv")->status, 303);
    EXPECT_EQ(Text(file), "# mi programa\r\nlu-mi 09:15 7 horario.fmv\r\nroto\r\n");
}

// Beyond the loopback only once a password is set: --poner-clave asks for it twice (at least 8
// characters) and keeps only its hash, which the login then takes, over HTTP or, with a
// certificate, HTTPS only.
TEST(ServiceStart, RefusesBeyondTheLoopbackWithoutAPasswordThenTakesTheOneTypedTwiceOverHttpOrHttps) {
    ServiceRig rig;
    EXPECT_FALSE(rig.start({"--escuchar", "0.0.0.0:0"}));
    EXPECT_EQ(rig.stop(), 2);
    EXPECT_TRUE(Has(rig.log(), "mientras no haya clave")) << rig.log();
    auto setPassword = [&](const char* typed) {
        const std::string command = std::string("printf '") + typed + "' | " LETRADOR_SERVICE_PATH " --poner-clave --carpeta " +
                                    rig.work().string() + " 2>/dev/null";
        return WEXITSTATUS(std::system(command.c_str()));
    };
    EXPECT_EQ(setPassword("clave-de-prueba\\nclave-de-prueba\\n"), 0);
    const auto file = rig.work() / service::kPasswordFile;
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const auto hash = service::LoadPasswordHash(file);
    EXPECT_EQ(hash.value_or("").rfind("$argon2id$", 0), 0u);
    EXPECT_FALSE(Has(Text(file), kTestPassword));
    EXPECT_EQ(setPassword("una-clave-larga\\notra-clave-larga\\n"), 1);
    EXPECT_EQ(setPassword("corta\\ncorta\\n"), 1);
    EXPECT_EQ(service::LoadPasswordHash(file), hash);
    ASSERT_TRUE(rig.restart({"--escuchar", "0.0.0.0:0"})) << rig.log();
    EXPECT_EQ(rig.stop(), 0);
    // With a certificate it speaks only HTTPS, and the cookie is Secure.
    const auto key = rig.work() / "servicio.key", crt = rig.work() / "servicio.crt";
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj /CN=letrador -keyout " +
                           key.string() + " -out " + crt.string() + " >/dev/null 2>&1").c_str()), 0);
    ASSERT_TRUE(rig.start({"--certificado", crt.string(), "--clave-privada", key.string()})) << rig.log();
    EXPECT_TRUE(Has(rig.log(), "atendiendo en https://"));
    httplib::SSLClient tls("127.0.0.1", rig.port());
    tls.enable_server_certificate_verification(false);
    const auto r = tls.Post("/entrar", httplib::Params{{"clave", kTestPassword}});
    ASSERT_TRUE(r && r->status == 303);
    EXPECT_TRUE(Has(r->get_header_value("Set-Cookie"), "; HttpOnly; SameSite=Strict; Secure")) << r->get_header_value("Set-Cookie");
    EXPECT_FALSE(rig.client()->Get("/entrar")) << "plain HTTP on the TLS port";
    EXPECT_EQ(rig.stop(), 0);
}

// Presses at once get consecutive numbers, each recorded once in the order taken. A restart keeps
// the counter's number and brings each sign to what the programme says it should show now, once;
// a programme line that is no entry is named in the log and on the page.
TEST(ServiceRestart, KeepsTurnNumbersAndTheProgrammeBringsEachSignToNowOnce) {
    ServiceRig rig;
    std::ofstream(rig.work() / "programa.txt", std::ios::binary)
        << "# prueba\r\ntodos 08:00 3,7 bienvenida.fmv\r\ntodos 13:00 3 horario.fmv\r\ntodos 25:00 7 x.fmv\r\n";
    ASSERT_TRUE(rig.open({3, 7, 5}, {}, {"--hora-inicial", "2024-05-06 14:00"})) << rig.log();
    const std::string page = rig.pageWhen("/programa", Settled(""), 30);
    EXPECT_TRUE(Has(page, "programa.txt, línea 4: hora no válida «25:00»"));
    EXPECT_TRUE(Has(rig.log(), "programa.txt, línea 4: hora no válida"));
    ASSERT_EQ(rig.post("/turnos/agregar", "nombre=Caja+1&puerto=5&estilo=2")->status, 303);
    auto press = [&](const char* action) { EXPECT_EQ(rig.post("/turnos/pulsar", std::string("nombre=Caja+1&accion=") + action)->status, 303); };
    std::thread second(press, "siguiente"), third(press, "siguiente");
    press("siguiente");
    second.join(), third.join();
    ASSERT_NE(rig.pageWhen("/turnos", Settled("<p class=\"numero\">03</p>")), "");
    ASSERT_TRUE(rig.restart({"--hora-inicial", "2024-05-06 14:05"})) << rig.log();
    EXPECT_TRUE(Has(Text(rig.work() / "turnos.txt"), "Caja 1;5;2;3\r\n"));
    press("anterior");
    ASSERT_NE(rig.pageWhen("/turnos", Settled("<p class=\"numero\">02</p>")), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // time for a programme entry run twice
    EXPECT_EQ(rig.stop(), 0);
    std::vector<int> shown;  // each recording one whole number in style 2, as the sign reads it
    for (const auto& r : rig.sign(2).stop().decoded.value_or(cartel::SignRecord{}).recordings)
        shown.push_back(r.closed && r.turn.style == 2 && r.turn.entries.size() == 1 ? r.turn.entries[0].number : -1);
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 2}));
    const auto three = rig.sign(0).stop(), seven = rig.sign(1).stop();
    ASSERT_TRUE(three.decoded && seven.decoded);
    // COM 3 shows the 13:00 entry (horario.fmv: joined paragraphs that its "<1>" splits in two on
    // the sign), COM 7 the 08:00 one (bienvenida.fmv: 4), each recorded once.
    ASSERT_EQ(std::pair(three.decoded->recordings.size(), seven.decoded->recordings.size()), std::pair(1ul, 1ul));
    EXPECT_TRUE(three.decoded->recordings[0].closed && seven.decoded->recordings[0].closed);
    EXPECT_EQ(std::pair(three.decoded->recordings[0].paragraphs.size(), seven.decoded->recordings[0].paragraphs.size()),
              std::pair(2ul, 4ul));
    const std::string ledger = Text(rig.work() / "servicio" / "ejecuciones.txt");
    for (const char* line : {"2024-05-06 14:00:0", " 3 sin-errores todos 13:00 3 horario.fmv", " 7 sin-errores todos 08:00 3,7 bienvenida.fmv"})
        EXPECT_TRUE(Has(ledger, line)) << ledger;
}

// Twenty clients while a recording runs, and a second service on the same working folder asked
// to record into the same sign: every request answered, the memory flat after the same load once,
// the second service meets the sign's lock and says so, and the recording is byte for byte the
// one an idle service makes (one port, one writer: nothing mixed in).
TEST(ServiceLoad, TwentyClientsAndAnotherServiceWhileARecordingRunsAllAnsweredLockedOutByteExactAndFlat) {
    ServiceRig rig;
    ServiceRig second(rig.work());
    // COM 4 answers at once and gives the reference; COM 5 answers every byte 10 ms late.
    ASSERT_TRUE(rig.addSigns({4}) && rig.open({5}, ServiceRig::Late(10)) && second.restart())
        << rig.log() << second.log();
    std::atomic<int> answered{0};
    auto load = [&] {
        const char* paths[] = {"/mensajes?m=horario.fmv", "/mensajes/imagen?m=horario.fmv&p=2", "/estado", "/turnos",
                               "/rapido/vista?texto=Hola%3C3%3E&fuente=normal.ffv"};
        std::vector<std::thread> threads;
        for (int c = 0; c < 20; ++c)
            threads.emplace_back([&, c] {
                auto client = rig.client();
                for (int k = 0; k < 50; ++k)
                    if (const auto r = client->Get(paths[(c + k) % 5], rig.session()); r && r->status == 200) ++answered;
            });
        for (auto& t : threads) t.join();
    };
    const std::string reference = rig.record("m=horario.fmv&puerto=4");
    ASSERT_NE(rig.endedPage(reference), "");
    load();  // once before, to warm the caches, workers and their arenas
    const long before = rig.residentKiB();
    answered = 0;
    const std::string slow = rig.record("m=horario.fmv&puerto=5");
    // The second asks once the first has the port: its first byte has reached the sign.
    EXPECT_TRUE(rig.sign(1).awaitByte(0, std::chrono::seconds(10)));
    const std::string locked = second.record("m=horario.fmv&puerto=5");
    std::string slowPage;
    std::atomic<int> whileRecording{-1};
    std::thread watch([&] {
        slowPage = rig.endedPage(slow, 120);
        whileRecording = answered.load();
    });
    load();
    watch.join();
    EXPECT_EQ(answered.load(), 1000);
    EXPECT_GE(whileRecording.load(), 200) << "too little of the load ran while the sign recorded";
    const long after = rig.residentKiB();
#ifndef __SANITIZE_ADDRESS__  // under AddressSanitizer freed memory waits in quarantine
    EXPECT_LT(after - before, 16 * 1024) << before << " KiB before, " << after << " KiB after";
#endif
    EXPECT_TRUE(Has(second.endedPage(locked), "<p class=\"veredicto\">Hubo errores en la grabación.</p>"));
    EXPECT_TRUE(Has(second.log(), "No se pudo abrir el puerto COM 5: lo está usando otro programa.")) << second.log();
    EXPECT_TRUE(Has(slowPage, "<p class=\"veredicto\">La grabación se realizó sin errores.</p>"));
    const auto fast = rig.sign(0).stop(), loaded = rig.sign(1).stop();
    ASSERT_TRUE(loaded.decoded && loaded.decoded->recordings.size() == 1u && loaded.decoded->recordings[0].closed) << loaded.listing;
    EXPECT_EQ(loaded.bytes, fast.bytes);
}

}  // namespace
}  // namespace letrador::testing
