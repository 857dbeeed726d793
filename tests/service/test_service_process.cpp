// letrador-servicio as a process, with cartel-virtual signs on its ports: who gets in, what the
// signs receive from the turn keypads and the programme, and the service under load.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

#include "signlink/turnero_digits.h"
#include "tests/service/window_on_work_folder.h"
#include "tests/service/service_rig.h"

namespace letrador::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The wire bytes of recordings that each show one turn number in `style`.
Bytes TurnRecordings(const std::vector<int>& numbers, int style) {
    Bytes out;
    for (int n : numbers) {
        out.insert(out.end(), {0xC3, 0x01, 0xC3, 0x02});
        for (auto b : ColumnasDigito(n / 10, style)) out.push_back(b);
        out.push_back(0x80);
        for (auto b : ColumnasDigito(n % 10, style)) out.push_back(b);
        out.insert(out.end(), {0xD0, 0xC9, 0xC9, 0xD2, 0xC5});
    }
    return out;
}

struct AccessCase {
    const char* name;
    const char* method;
    const char* path;
    const char* body;  // form fields, with CSRF_OK standing for the session's token
    bool signedIn;
    int status;
};

class ServiceAccess : public ::testing::TestWithParam<AccessCase> {
  protected:
    static void SetUpTestSuite() {
        rig_ = new ServiceRig;
        rig_->setPassword();
        ASSERT_TRUE(rig_->start()) << rig_->log();
        headers_ = new httplib::Headers(rig_->signIn(*(csrf_ = new std::string)));
        ASSERT_FALSE(csrf_->empty());
    }
    static void TearDownTestSuite() {
        delete headers_;
        delete csrf_;
        delete rig_;
    }
    static ServiceRig* rig_;
    static httplib::Headers* headers_;
    static std::string* csrf_;
};
ServiceRig* ServiceAccess::rig_ = nullptr;
httplib::Headers* ServiceAccess::headers_ = nullptr;
std::string* ServiceAccess::csrf_ = nullptr;

TEST_P(ServiceAccess, AnswersAsTheSessionAndTokenAllow) {
    const AccessCase& c = GetParam();
    auto client = rig_->client();
    const httplib::Headers none;
    const httplib::Headers& h = c.signedIn ? *headers_ : none;
    std::string body = c.body;
    if (const auto at = body.find("CSRF_OK"); at != std::string::npos) body.replace(at, 7, *csrf_);
    const auto r = std::string(c.method) == "GET"
                       ? client->Get(c.path, h)
                       : client->Post(c.path, h, body, "application/x-www-form-urlencoded");
    ASSERT_TRUE(r) << c.path;
    EXPECT_EQ(r->status, c.status) << c.path << "\n" << r->body;
    if (c.status == 303 && !c.signedIn) {
        EXPECT_EQ(r->get_header_value("Location"), "/entrar");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ServiceAccess,
    ::testing::Values(
        AccessCase{"LoginPage", "GET", "/entrar", "", false, 200},
        AccessCase{"Styles", "GET", "/estatico/estilo.css", "", false, 200},
        AccessCase{"Mensajes", "GET", "/mensajes", "", false, 303},
        AccessCase{"MensajeElegido", "GET", "/mensajes?m=bienvenida.fmv", "", false, 303},
        AccessCase{"Rapido", "GET", "/rapido", "", false, 303},
        AccessCase{"Turnos", "GET", "/turnos", "", false, 303},
        AccessCase{"Programa", "GET", "/programa", "", false, 303},
        AccessCase{"Estado", "GET", "/estado", "", false, 303},
        AccessCase{"Grabacion", "GET", "/grabacion?id=1", "", false, 303},
        AccessCase{"Imagen", "GET", "/mensajes/imagen?m=bienvenida.fmv&p=1", "", false, 401},
        AccessCase{"Vista", "GET", "/rapido/vista?texto=a&fuente=normal.ffv", "", false, 401},
        AccessCase{"Eventos", "GET", "/grabacion/eventos?id=1", "", false, 401},
        AccessCase{"Datos", "GET", "/grabacion/datos?id=1", "", false, 401},
        AccessCase{"Grabar", "POST", "/mensajes/grabar", "m=bienvenida.fmv&puerto=3", false, 401},
        AccessCase{"Pulsar", "POST", "/turnos/pulsar", "nombre=x&accion=siguiente", false, 401},
        AccessCase{"Agregar", "POST", "/programa/agregar", "dia=lu&hora=08:00&carteles=3&mensaje=a.fmv", false, 401},
        AccessCase{"Detener", "POST", "/grabacion/detener", "id=1", false, 401},
        AccessCase{"GuardarComo", "POST", "/rapido/guardar", "texto=a&fuente=normal.ffv&nombre=b", false, 401},
        AccessCase{"Buscar", "POST", "/carteles/buscar", "", false, 401},
        AccessCase{"Salir", "POST", "/salir", "", false, 401},
        AccessCase{"SignedInPage", "GET", "/mensajes?m=bienvenida.fmv", "", true, 200},
        AccessCase{"SignedInPicture", "GET", "/mensajes/imagen?m=bienvenida.fmv&p=1", "", true, 200},
        AccessCase{"NoToken", "POST", "/turnos/agregar", "nombre=Caja&puerto=3&estilo=1", true, 403},
        AccessCase{"WrongToken", "POST", "/turnos/agregar", "csrf=00ff&nombre=Caja&puerto=3&estilo=1", true, 403},
        AccessCase{"WrongTokenQuick", "POST", "/rapido/guardar", "csrf=abc&texto=a&fuente=normal.ffv&nombre=b", true, 403},
        AccessCase{"PageUp", "GET", "/mensajes?m=../../etc/passwd", "", true, 400},
        AccessCase{"PageAbsolute", "GET", "/mensajes?m=/etc/hosts.fmv", "", true, 400},
        AccessCase{"PictureUp", "GET", "/mensajes/imagen?m=..%2Fmensajes%2Fbienvenida.fmv&p=1", "", true, 400},
        AccessCase{"FontUp", "GET", "/rapido/vista?texto=a&fuente=..%2F..%2Fetc%2Fpasswd", "", true, 400},
        AccessCase{"FontAbsolute", "GET", "/rapido/vista?texto=a&fuente=%2Fetc%2Fx.ffv", "", true, 400},
        AccessCase{"RecordUp", "POST", "/mensajes/grabar", "csrf=CSRF_OK&m=../a.fmv&puerto=3", true, 400},
        AccessCase{"SaveAbsolute", "POST", "/rapido/guardar", "csrf=CSRF_OK&texto=a&fuente=normal.ffv&nombre=/tmp/x.fmv", true, 400},
        AccessCase{"SaveUp", "POST", "/rapido/guardar", "csrf=CSRF_OK&texto=a&fuente=normal.ffv&nombre=../x.fmv", true, 400},
        AccessCase{"StaticOutside", "GET", "/estatico/../servicio/clave", "", true, 404}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceAccess, SixthFailedLoginInAMinuteGets429AndBigBodiesAreRefused) {
    auto client = rig_->client();
    const auto good = client->Post("/entrar", httplib::Params{{"clave", kTestPassword}});
    ASSERT_TRUE(good);
    const std::string cookie = good->get_header_value("Set-Cookie");
    EXPECT_NE(cookie.find("; HttpOnly; SameSite=Strict"), std::string::npos) << cookie;
    EXPECT_EQ(cookie.find("Secure"), std::string::npos) << "no TLS, no Secure: " << cookie;
    for (int k = 1; k <= 5; ++k) {
        const auto r = client->Post("/entrar", httplib::Params{{"clave", "mala"}});
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 401) << k;
    }
    const auto sixth = client->Post("/entrar", httplib::Params{{"clave", kTestPassword}});
    ASSERT_TRUE(sixth);
    EXPECT_EQ(sixth->status, 429);

    const std::string big(10u * 1024u * 1024u, 'a');
    const auto r = rig_->client()->Post("/turnos/agregar", *headers_, "nombre=" + big, "application/x-www-form-urlencoded");
    EXPECT_TRUE(!r || r->status == 413) << (r ? r->status : 0);
    const auto after = rig_->client()->Get("/estado", *headers_);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

// A form post of the signed-in client.
httplib::Result Post(ServiceRig& rig, const httplib::Headers& h, const std::string& path, const std::string& form) {
    return rig.client()->Post(path.c_str(), h, form, "application/x-www-form-urlencoded");
}

TEST_F(ServiceAccess, QuickMessageIsSavedAsAMessageFileAskingBeforeReplacingIt) {
    const std::string form = "csrf=" + *csrf_ + "&texto=Hoy%3A+pan+dulce%3C3%3E&fuente=normal.ffv&nombre=oferta";
    const auto saved = Post(*rig_, *headers_, "/rapido/guardar", form);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->status, 303);
    EXPECT_EQ(saved->get_header_value("Location"), "/mensajes?m=oferta.fmv");
    const std::string bytes = VirtualSignProcess::FileText(rig_->work() / "mensajes" / "oferta.fmv");
    EXPECT_NE(bytes.find("\"Hoy: pan dulce<3>\"\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\"normal.ffv\"\r\n"), std::string::npos) << bytes;

    const auto asked = Post(*rig_, *headers_, "/rapido/guardar", "csrf=" + *csrf_ + "&texto=Otro&fuente=normal.ffv&nombre=oferta.fmv");
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->status, 409);
    EXPECT_NE(asked->body.find("El archivo oferta.fmv ya existe. ¿Desea reemplazarlo?"), std::string::npos);
    EXPECT_EQ(VirtualSignProcess::FileText(rig_->work() / "mensajes" / "oferta.fmv"), bytes);
    const auto replaced = Post(*rig_, *headers_, "/rapido/guardar",
                               "csrf=" + *csrf_ + "&texto=Otro&fuente=normal.ffv&nombre=oferta.fmv&confirmar=si");
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->status, 303);
    const auto page = rig_->client()->Get("/mensajes?m=oferta.fmv", *headers_);
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("<p class=\"texto\">Otro</p>"), std::string::npos);

    // Over the sign's capacity it is refused as "&Total" refuses it, and nothing is recorded.
    std::string longText;
    for (int k = 0; k < 80; ++k) longText += "Letrador+";
    const auto refused = Post(*rig_, *headers_, "/rapido/grabar",
                              "csrf=" + *csrf_ + "&texto=" + longText + "&fuente=normal.ffv&puerto=3");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 422);
    EXPECT_NE(refused->body.find("No se puede grabar el mensaje porque excede la capacidad del cartel."), std::string::npos);
    EXPECT_NE(refused->body.find("Capacidad excedida."), std::string::npos);
}

TEST_F(ServiceAccess, ProgrammeEntriesAreAddedChangedAndRemovedInTheFile) {
    const std::string file = (rig_->work() / "programa.txt").string();
    {
        std::ofstream out(file, std::ios::binary);
        out << "# mi programa\r\nlu 09:00 3 horario.fmv\r\nroto\r\n";
    }
    const std::string token = "csrf=" + *csrf_;
    EXPECT_EQ(Post(*rig_, *headers_, "/programa/agregar", token + "&dia=sa&dia=do&hora=10:30&carteles=3,7&mensaje=bienvenida.fmv")->status, 303);
    EXPECT_EQ(VirtualSignProcess::FileText(file),
              "# mi programa\r\nlu 09:00 3 horario.fmv\r\nroto\r\nsa,do 10:30 3,7 bienvenida.fmv\r\n");
    const auto bad = Post(*rig_, *headers_, "/programa/agregar", token + "&dia=lu&hora=25:00&carteles=3&mensaje=a.fmv");
    EXPECT_EQ(bad->status, 422);
    EXPECT_NE(bad->body.find("hora no válida"), std::string::npos);
    EXPECT_NE(bad->body.find("programa.txt, línea 3: faltan datos"), std::string::npos);
    EXPECT_EQ(Post(*rig_, *headers_, "/programa/cambiar",
                   token + "&linea=1&anterior=lu+09:00+3+horario.fmv&dia=lu&dia=ma&dia=mi&hora=09:15&carteles=7&mensaje=horario.fmv")
                  ->status,
              303);
    // A line changed meanwhile is left alone.
    EXPECT_EQ(Post(*rig_, *headers_, "/programa/quitar", token + "&linea=1&anterior=lu+09:00+3+horario.fmv")->status, 422);
    EXPECT_EQ(Post(*rig_, *headers_, "/programa/quitar", token + "&linea=3&anterior=sa,do+10:30+3,7+bienvenida.fmv")->status, 303);
    EXPECT_EQ(VirtualSignProcess::FileText(file), "# mi programa\r\nlu-mi 09:15 7 horario.fmv\r\nroto\r\n");
    std::filesystem::remove(file);
}

TEST(ServiceRecording, DetenerStopsTheSignAtItsNextExchange) {
    ServiceRig rig;
    rig.setPassword();
    std::vector<std::string> late;
    for (int n = 0; n < 2000; ++n) late.insert(late.end(), {"--tarde", std::to_string(n) + ":10"});
    ASSERT_TRUE(rig.addSigns({8}, late));
    ASSERT_TRUE(rig.start()) << rig.log();
    std::string csrf;
    const auto h = rig.signIn(csrf);
    const auto started = Post(rig, h, "/mensajes/grabar", "csrf=" + csrf + "&m=horario.fmv&puerto=8");
    ASSERT_TRUE(started && started->status == 303);
    const std::string where = started->get_header_value("Location");
    const std::string id = where.substr(where.find('=') + 1);
    EXPECT_EQ(Post(rig, h, "/grabacion/detener", "csrf=" + csrf + "&id=" + id)->status, 303);
    std::string json;
    ASSERT_TRUE(ServiceRig::WaitFor([&] {
        const auto r = rig.client()->Get(("/grabacion/datos?id=" + id).c_str(), h);
        json = r ? r->body : "";
        return json.find("\"ended\":true") != std::string::npos;
    }));
    EXPECT_NE(json.find("Grabación detenida por el operador."), std::string::npos) << json;
    EXPECT_NE(json.find("\"verdict\":\"Hubo errores en la grabación.\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"words\":\"detenida por el operador\""), std::string::npos) << json;
}

TEST(ServiceStart, RefusesBeyondTheLoopbackWithoutAPasswordAndStoresOnlyTheHash) {
    ServiceRig rig;
    EXPECT_FALSE(rig.start({"--escuchar", "0.0.0.0:0"}));
    EXPECT_EQ(rig.exitCode(), 2);
    EXPECT_NE(rig.log().find("mientras no haya clave"), std::string::npos) << rig.log();

    const std::string set = std::string("printf 'una-clave-larga\\nuna-clave-larga\\n' | ") + LETRADOR_SERVICE_PATH +
                            " --poner-clave --carpeta " + rig.work().string() + " 2>/dev/null";
    EXPECT_EQ(std::system(set.c_str()), 0);
    const auto file = rig.work() / service::kPasswordFile;
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const auto hash = service::LoadPasswordHash(file);
    ASSERT_TRUE(hash);
    EXPECT_EQ(VirtualSignProcess::FileText(file).find("una-clave"), std::string::npos);
    EXPECT_TRUE(service::PasswordMatches(*hash, "una-clave-larga"));
    const std::string mismatch = std::string("printf 'una-clave-larga\\notra-clave-larga\\n' | ") +
                                 LETRADOR_SERVICE_PATH + " --poner-clave --carpeta " + rig.work().string() + " 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(mismatch.c_str())), 1);
    EXPECT_EQ(service::LoadPasswordHash(file), hash);

    ASSERT_TRUE(rig.start({"--escuchar", "0.0.0.0:0"})) << rig.log();
    EXPECT_EQ(rig.stop(), 0);
}

TEST(ServiceStart, WithACertificateItSpeaksOnlyHttpsAndTheCookieIsSecure) {
    ServiceRig rig;
    rig.setPassword();
    const auto key = rig.work() / "servicio.key", crt = rig.work() / "servicio.crt";
    const std::string make = "openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj /CN=letrador -keyout " +
                             key.string() + " -out " + crt.string() + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);
    ASSERT_TRUE(rig.start({"--certificado", crt.string(), "--clave-privada", key.string()})) << rig.log();
    EXPECT_NE(rig.log().find("atendiendo en https://"), std::string::npos);
    httplib::SSLClient tls("127.0.0.1", rig.port());
    tls.enable_server_certificate_verification(false);
    const auto r = tls.Post("/entrar", httplib::Params{{"clave", kTestPassword}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 303);
    const std::string cookie = r->get_header_value("Set-Cookie");
    for (const char* attribute : {"; HttpOnly", "; SameSite=Strict", "; Secure"})
        EXPECT_NE(cookie.find(attribute), std::string::npos) << cookie;
    EXPECT_FALSE(rig.client()->Get("/entrar")) << "plain HTTP on the TLS port";
    EXPECT_EQ(rig.stop(), 0);
}

TEST(ServiceTurns, PressesAtOnceGetConsecutiveNumbersInOrderAndTheNumberSurvivesARestart) {
    ServiceRig rig;
    rig.setPassword();
    ASSERT_TRUE(rig.addSigns({5}));
    ASSERT_TRUE(rig.start()) << rig.log();
    std::string csrf;
    const auto h = rig.signIn(csrf);
    const auto add = rig.client()->Post("/turnos/agregar", h, "csrf=" + csrf + "&nombre=Caja+1&puerto=5&estilo=2",
                                        "application/x-www-form-urlencoded");
    ASSERT_TRUE(add);
    ASSERT_EQ(add->status, 303) << add->body;
    auto press = [&] {
        return rig.client()->Post("/turnos/pulsar", h, "csrf=" + csrf + "&nombre=Caja+1&accion=siguiente",
                                  "application/x-www-form-urlencoded");
    };
    std::thread second([&] { EXPECT_EQ(press()->status, 303); }), third([&] { EXPECT_EQ(press()->status, 303); });
    EXPECT_EQ(press()->status, 303);
    second.join();
    third.join();
    ASSERT_TRUE(ServiceRig::WaitFor([&] {
        const auto page = rig.client()->Get("/turnos", h);
        return page && page->body.find("sin errores") != std::string::npos &&
               page->body.find("grabando") == std::string::npos;
    }));
    EXPECT_EQ(rig.stop(), 0);
    EXPECT_NE(VirtualSignProcess::FileText(rig.work() / "turnos.txt").find("Caja 1;5;2;3\r\n"), std::string::npos);

    ASSERT_TRUE(rig.start()) << rig.log();
    const auto h2 = rig.signIn(csrf);
    ASSERT_EQ(rig.client()
                  ->Post("/turnos/pulsar", h2, "csrf=" + csrf + "&nombre=Caja+1&accion=anterior",
                         "application/x-www-form-urlencoded")
                  ->status,
              303);
    ASSERT_TRUE(ServiceRig::WaitFor([&] {
        const auto page = rig.client()->Get("/turnos", h2);
        return page && page->body.find("<p class=\"numero\">02</p>") != std::string::npos &&
               page->body.find("sin errores") != std::string::npos;
    }));
    const auto rec = rig.sign(0).stop();
    // Each number went out once, in the order the presses took them: the sign showed 03 last.
    EXPECT_EQ(rec.bytes, TurnRecordings({1, 2, 3, 2}, 2));
}

TEST(ServiceProgramme, ARestartBringsEachSignToNowOnceAndBadLinesAreNamed) {
    ServiceRig rig;
    rig.setPassword();
    ASSERT_TRUE(rig.addSigns({3, 7}));
    {
        std::ofstream p(rig.work() / "programa.txt", std::ios::binary);
        p << "# prueba\r\ntodos 08:00 3,7 bienvenida.fmv\r\ntodos 13:00 3 horario.fmv\r\ntodos 25:00 7 x.fmv\r\n";
    }
    ASSERT_TRUE(rig.start({"--hora-inicial", "2024-05-06 14:00"})) << rig.log();
    std::string csrf;
    const auto h = rig.signIn(csrf);
    auto settled = [&] {
        const auto page = rig.client()->Get("/programa", h);
        return page && page->body.find("grabando") == std::string::npos &&
               page->body.find("sin errores") != std::string::npos;
    };
    ASSERT_TRUE(ServiceRig::WaitFor(settled, 30)) << rig.log();
    const auto page = rig.client()->Get("/programa", h);
    EXPECT_NE(page->body.find("programa.txt, línea 4: hora no válida «25:00»"), std::string::npos);
    EXPECT_NE(rig.log().find("programa.txt, línea 4: hora no válida"), std::string::npos);
    EXPECT_EQ(rig.stop(), 0);
    ASSERT_TRUE(rig.start({"--hora-inicial", "2024-05-06 14:05"})) << rig.log();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(rig.stop(), 0);

    const auto three = rig.sign(0).stop(), seven = rig.sign(1).stop();
    ASSERT_TRUE(three.decoded && seven.decoded);
    // COM 3 shows the 13:00 entry, COM 7 the 08:00 one, each recorded once.
    ASSERT_EQ(three.decoded->recordings.size(), 1u);
    ASSERT_EQ(seven.decoded->recordings.size(), 1u);
    const auto paragraphs = [](const VirtualSignProcess::Record& r) { return r.decoded->recordings[0].paragraphs.size(); };
    EXPECT_TRUE(three.decoded->recordings[0].closed && seven.decoded->recordings[0].closed);
    EXPECT_NE(paragraphs(three), 0u);
    EXPECT_NE(paragraphs(three) == paragraphs(seven) && three.bytes == seven.bytes, true);
    const std::string ledger = VirtualSignProcess::FileText(rig.work() / "servicio" / "ejecuciones.txt");
    EXPECT_NE(ledger.find("2024-05-06 14:00:0"), std::string::npos) << ledger;
    EXPECT_NE(ledger.find(" 3 sin-errores todos 13:00 3 horario.fmv"), std::string::npos) << ledger;
    EXPECT_NE(ledger.find(" 7 sin-errores todos 08:00 3,7 bienvenida.fmv"), std::string::npos) << ledger;
}

TEST(ServiceLoad, TwentyClientsWhileARecordingRunsAllAnsweredByteExactAndFlat) {
    ServiceRig rig;
    rig.setPassword();
    // COM 4 answers at once and gives the reference; COM 5 answers every byte 10 ms late, so
    // that its recording lasts seconds and the load runs while it records.
    std::vector<std::string> late;
    for (int n = 0; n < 2000; ++n) late.insert(late.end(), {"--tarde", std::to_string(n) + ":10"});
    ASSERT_TRUE(rig.addSigns({4}) && rig.addSigns({5}, late));
    ASSERT_TRUE(rig.start()) << rig.log();
    std::string csrf;
    const auto h = rig.signIn(csrf);
    auto record = [&](const char* port) {
        const auto r = rig.client()->Post("/mensajes/grabar", h, "csrf=" + csrf + "&m=horario.fmv&puerto=" + port,
                                          "application/x-www-form-urlencoded");
        return r && r->status == 303 ? r->get_header_value("Location") : std::string();
    };
    auto ended = [&](const std::string& where) {
        const auto page = rig.client()->Get(where.c_str(), h);
        return page && page->body.find("data-terminada=\"1\"") != std::string::npos;
    };
    std::atomic<int> answered{0};
    auto load = [&](int clients, int each) {
        const std::vector<std::string> paths{"/mensajes?m=horario.fmv", "/mensajes/imagen?m=horario.fmv&p=2",
                                             "/estado", "/turnos", "/rapido/vista?texto=Hola%3C3%3E&fuente=normal.ffv"};
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c)
            threads.emplace_back([&, c] {
                auto client = rig.client();
                for (int k = 0; k < each; ++k) {
                    const auto r = client->Get(paths[(c + k) % paths.size()].c_str(), h);
                    if (r && r->status == 200) ++answered;
                }
            });
        for (auto& t : threads) t.join();
    };
    const std::string reference = record("4");
    ASSERT_TRUE(ServiceRig::WaitFor([&] { return ended(reference); }, 60));
    load(20, 50);  // the same load once before, to warm the caches, workers and their arenas
    const long before = rig.residentKiB();

    answered = 0;
    const std::string slow = record("5");
    ASSERT_FALSE(slow.empty());
    std::atomic<int> whileRecording{-1};
    std::thread watch([&] {
        ServiceRig::WaitFor([&] { return ended(slow); }, 120);
        whileRecording = answered.load();
    });
    load(20, 50);
    watch.join();
    EXPECT_EQ(answered.load(), 1000);
    EXPECT_GE(whileRecording.load(), 200) << "too little of the load ran while the sign recorded";
    const long after = rig.residentKiB();
#ifndef __SANITIZE_ADDRESS__
    // (Under AddressSanitizer freed memory waits in its quarantine, so the figure only grows.)
    EXPECT_LT(after - before, 16 * 1024) << before << " KiB before, " << after << " KiB after";
#endif
    std::cout << "[ memoria ] " << before << " KiB antes, " << after << " KiB después; "
              << whileRecording.load() << " de 1000 pedidos durante la grabación\n";

    const auto fast = rig.sign(0).stop(), loaded = rig.sign(1).stop();
    ASSERT_TRUE(fast.decoded && loaded.decoded);
    ASSERT_EQ(loaded.decoded->recordings.size(), 1u);
    EXPECT_TRUE(loaded.decoded->recordings[0].closed);
    EXPECT_FALSE(loaded.bytes.empty());
    EXPECT_EQ(loaded.bytes, fast.bytes);
}

// One port, one writer: while a service records into a sign, a second service, or the window
// of a person at the computer, is asked to record into it too. The second meets the sign's lock
// and says so; the sign gets the first recording whole, and nothing mixed.
TEST(ServiceLocks, WhileAServiceRecordsASignAnotherServiceOrTheWindowMeetsItsLock) {
    for (const bool window : {false, true}) {
        SCOPED_TRACE(window ? "the window" : "another service");
        ServiceRig first;
        first.setPassword();
        std::vector<std::string> late;
        for (int n = 0; n < 2000; ++n) late.insert(late.end(), {"--tarde", std::to_string(n) + ":5"});
        ASSERT_TRUE(first.addSigns({6}, late));
        ServiceRig second(first.work());
        ASSERT_TRUE(first.start() && (window || second.start())) << first.log() << second.log();
        const std::string one = first.record("csrf=&m=horario.fmv&puerto=6");
        ASSERT_FALSE(one.empty());
        std::string secondLog;
        if (window) {
            WindowOnWorkFolder w(first.work());
            secondLog = w.recordTotalOnPort(6);
            EXPECT_EQ(w.verdict(), Verdict::CouldNotOpen);
        } else {
            const std::string two = second.record("csrf=&m=horario.fmv&puerto=6");
            EXPECT_EQ(second.verdictShown(two), "Hubo errores en la grabación.");
            secondLog = second.log();
        }
        EXPECT_NE(secondLog.find("No se pudo abrir el puerto COM 6: lo está usando otro programa."),
                  std::string::npos) << secondLog;
        EXPECT_EQ(first.verdictShown(one), "La grabación se realizó sin errores.");
        const auto rec = first.sign(0).stop();
        ASSERT_TRUE(rec.decoded);
        ASSERT_EQ(rec.decoded->recordings.size(), 1u);
        EXPECT_TRUE(rec.decoded->recordings[0].closed);
        EXPECT_EQ(rec.decoded->strayBytes, 0);
    }
}

}  // namespace
}  // namespace letrador::testing
