#include "service/web.h"

#include <sodium.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "files/file_commands.h"
#include "message/codepage.h"
#include "message/effect_tags.h"
#include "message/numeric.h"
#include "service/led_picture.h"
#include "service/names.h"

namespace letrador::service {

using httplib::Request;
using httplib::Response;

// ---- Task queue ----

BoundedPool::BoundedPool(std::size_t workers, std::size_t waiting) : maxWaiting_(waiting) {
    for (std::size_t k = 0; k < workers; ++k) threads_.emplace_back([this] { work(); });
}

BoundedPool::~BoundedPool() { shutdown(); }

void BoundedPool::enqueue(std::function<void()> fn) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closing_ || jobs_.size() < maxWaiting_; });
    jobs_.push_back(std::move(fn));
    changed_.notify_all();
}

void BoundedPool::shutdown() {
    {
        std::lock_guard lock(mutex_);
        if (closing_ && threads_.empty()) return;
        closing_ = true;
    }
    changed_.notify_all();
    for (auto& t : threads_) t.join();
    threads_.clear();
}

void BoundedPool::work() {
    while (true) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        changed_.notify_all();
        job();
    }
}

// ---- Text helpers ----

std::string Html(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string Json(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<' || c == '>') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

namespace {

constexpr const char* kCookie = "sesion";

// A query value: every byte but letters, digits and "-._~" as %XX.
std::string Url(std::string_view value) {
    std::string out;
    for (unsigned char c : value) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string Base64(const std::string& bytes) {
    std::string out(sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                      bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    out.resize(out.size() - 1);
    return out;
}

std::string FileText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string CookieValue(const Request& req, const std::string& name) {
    const std::string header = req.get_header_value("Cookie");
    std::size_t at = 0;
    while (at < header.size()) {
        std::size_t end = header.find(';', at);
        if (end == std::string::npos) end = header.size();
        std::string part = header.substr(at, end - at);
        while (!part.empty() && part.front() == ' ') part.erase(0, 1);
        if (part.rfind(name + "=", 0) == 0) return part.substr(name.size() + 1);
        at = end + 1;
    }
    return "";
}

// Compares without leaking through timing where the texts first differ.
bool SameSecret(const std::string& a, const std::string& b) {
    return a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string Field(const Request& req, const char* name) { return req.get_param_value(name); }

std::vector<std::string> Fields(const Request& req, const char* name) {
    std::vector<std::string> out;
    const std::size_t n = req.get_param_value_count(name);
    for (std::size_t k = 0; k < n; ++k) out.push_back(req.get_param_value(name, k));
    return out;
}

// A paragraph text from a text box: line breaks as the message files hold them, CR LF.
std::u32string TypedText(const std::string& utf8) {
    std::u32string out;
    for (char32_t c : FromUtf8(utf8)) {
        if (c == U'\r') continue;
        if (c == U'\n') out += U"\r\n";
        else out += c;
    }
    return out;
}

std::string VerdictHtml(const std::optional<Verdict>& v, bool recording) {
    if (recording) return "<span class=\"grabando\">grabando…</span>";
    if (!v) return "";
    return std::string("<span class=\"") + (*v == Verdict::Clean ? "bien" : "mal") + "\" title=\"" +
           Html(VerdictLine(*v)) + "\">" + Html(VerdictWords(*v)) + "</span>";
}

std::string RunJson(const RunView& r) {
    std::string out = "{\"id\":" + std::to_string(r.id) + ",\"ended\":" + (r.ended ? "true" : "false") +
                      ",\"stopping\":" + (r.stopping ? "true" : "false") + ",\"signs\":[";
    for (std::size_t k = 0; k < r.ports.size(); ++k) {
        out += (k ? ",{" : "{");
        out += "\"port\":" + Json(r.ports[k]) + ",\"progress\":" + Json(r.progress[k]) + ",\"log\":[";
        for (std::size_t l = 0; l < r.logs[k].size(); ++l) out += (l ? "," : "") + Json(r.logs[k][l]);
        out += "],\"verdict\":" + (r.verdicts[k] ? Json(VerdictLine(*r.verdicts[k])) : std::string("null"));
        out += ",\"words\":" + (r.verdicts[k] ? Json(VerdictWords(*r.verdicts[k])) : std::string("null"));
        out += ",\"clean\":" + std::string(r.verdicts[k] == Verdict::Clean ? "true" : "false") + "}";
    }
    return out + "]}";
}

std::string Option(const std::string& value, const std::string& shown, bool selected) {
    return "<option value=\"" + Html(value) + "\"" + (selected ? " selected" : "") + ">" + Html(shown) + "</option>";
}

std::string Notice(const std::string& text, bool bad = true) {
    if (text.empty()) return "";
    return std::string("<p class=\"aviso") + (bad ? " mal" : "") + "\" role=\"alert\">" + Html(text) + "</p>";
}

constexpr std::array<const char*, 7> kDayFields = {"lu", "ma", "mi", "ju", "vi", "sa", "do"};
constexpr std::array<const char*, 7> kDayShown = {"Lun", "Mar", "Mié", "Jue", "Vie", "Sáb", "Dom"};

// The day boxes, time, signs and message of a programme entry, for the add and change forms.
std::string EntryFields(const ProgrammeEntry* e, const std::vector<std::string>& messages) {
    std::string out = "<fieldset class=\"dias\"><legend>Días</legend>";
    for (std::size_t d = 0; d < 7; ++d) {
        const bool on = e ? (e->days & (1u << d)) != 0 : d < 5;
        out += std::string("<label><input type=\"checkbox\" name=\"dia\" value=\"") + kDayFields[d] + "\"" +
               (on ? " checked" : "") + ">" + kDayShown[d] + "</label>";
    }
    out += "</fieldset><label>Hora <input type=\"time\" name=\"hora\" required value=\"" +
           (e ? e->timeText() : std::string("08:00")) + "\"></label>";
    std::string ports;
    if (e)
        for (int p : e->ports) ports += (ports.empty() ? "" : ",") + std::to_string(p);
    out += "<label>Carteles <input name=\"carteles\" required inputmode=\"numeric\" placeholder=\"3,7\" value=\"" +
           Html(ports) + "\"></label><label>Mensaje <select name=\"mensaje\">";
    for (const auto& m : messages) out += Option(m, m, e && e->message == m);
    return out + "</select></label>";
}

// The entry line a programme form describes.
std::string EntryLine(const Request& req) {
    std::string days;
    for (const auto& d : Fields(req, "dia")) days += (days.empty() ? "" : ",") + d;
    return (days.empty() ? std::string("-") : days) + " " + Field(req, "hora") + " " + Field(req, "carteles") +
           " " + Field(req, "mensaje");
}

}  // namespace

// ---- The service ----

WebService::WebService(httplib::Server& server, WebSettings settings, OnLoop onLoop, ServiceState& state,
                       const MessageDesk& desk)
    : server_(server), settings_(std::move(settings)), onLoop_(std::move(onLoop)), state_(state), desk_(desk) {
    pageTemplate_ = FileText(settings_.pages / "pagina.html");
    server_.new_task_queue = [] { return new BoundedPool(kWorkers, kWaitingConnections); };
    server_.set_payload_max_length(kMaxBody);
    server_.set_read_timeout(5, 0);
    server_.set_write_timeout(5, 0);
    server_.set_keep_alive_max_count(50);
    server_.set_keep_alive_timeout(2);
    // A page is written in pieces (headers, then body): without this each answer on a kept-alive
    // connection waits for the client's delayed acknowledgement, some 40 ms.
    server_.set_tcp_nodelay(true);
    server_.set_socket_options([this](socket_t sock) {
        httplib::default_socket_options(sock);
        listening_ = sock;
    });
    routes();
}

void WebService::widenAcceptQueue() {
    if (listening_ >= 0) ::listen(listening_, kPendingConnections);
}

WebService::Visit WebService::visit(const Request& req) {
    Visit v;
    const std::string token = CookieValue(req, kCookie);
    if (token.empty()) return v;
    if (auto csrf = sessions_.csrfOf(token)) {
        v.signedIn = true;
        v.csrf = *csrf;
    }
    return v;
}

bool WebService::pageAllowed(const Request& req, Response& res, Visit& v) {
    v = visit(req);
    if (!v.signedIn) res.set_redirect("/entrar", 303);
    return v.signedIn;
}

bool WebService::actionAllowed(const Request& req, Response& res, Visit& v) {
    v = visit(req);
    if (!v.signedIn) {
        res.status = 401;
        res.set_content("Hace falta entrar con la clave.\n", "text/plain; charset=utf-8");
        return false;
    }
    std::string sent = Field(req, "csrf");
    if (sent.empty()) sent = req.get_header_value("X-CSRF");
    if (!SameSecret(sent, v.csrf)) {
        res.status = 403;
        res.set_content("La página caducó: vuelva a cargarla.\n", "text/plain; charset=utf-8");
        return false;
    }
    return true;
}

void WebService::page(Response& res, const Visit& v, const std::string& title, const std::string& tab,
                      const std::string& body, int status) {
    static const std::array<std::pair<const char*, const char*>, 5> tabs = {{{"/mensajes", "Mensajes"},
                                                                             {"/rapido", "Mensaje rápido"},
                                                                             {"/turnos", "Turnos"},
                                                                             {"/programa", "Programa"},
                                                                             {"/estado", "Estado"}}};
    std::string menu;
    if (v.signedIn) {
        for (const auto& [path, name] : tabs)
            menu += std::string("<a href=\"") + path + "\"" + (tab == path ? " aria-current=\"page\"" : "") + ">" +
                    name + "</a>";
        menu += "<form method=\"post\" action=\"/salir\"><input type=\"hidden\" name=\"csrf\" value=\"" + v.csrf +
                "\"><button class=\"salir\">Salir</button></form>";
    }
    std::string html = pageTemplate_;
    auto fill = [&html](const std::string& key, const std::string& value) {
        for (std::size_t at; (at = html.find(key)) != std::string::npos;) html.replace(at, key.size(), value);
    };
    fill("{{menu}}", menu);
    fill("{{csrf}}", v.csrf);
    fill("{{titulo}}", Html(title));
    fill("{{contenido}}", body);  // last: the body may hold anything
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' data:; style-src 'self'; script-src 'self'; "
                   "frame-ancestors 'none'; form-action 'self'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "same-origin");
    res.set_content(html, "text/html; charset=utf-8");
}

std::string WebService::signChoice(const std::vector<FoundSign>& signs) const {
    if (signs.empty())
        return "<p class=\"aviso mal\">No se encontró ningún cartel. Mire la página Estado y pulse "
               "«Buscar carteles».</p>";
    std::string out = "<fieldset class=\"carteles\"><legend>Carteles</legend>";
    for (const auto& s : signs)
        out += "<label><input type=\"checkbox\" name=\"puerto\" value=\"" + Html(s.port) + "\"" +
               (signs.size() == 1 ? " checked" : "") + "> COM " + Html(s.port) + " <small>" + Html(s.device) +
               "</small></label>";
    return out + "</fieldset>";
}

void WebService::startRecording(Response& res, WhatToRecord what, std::vector<std::string> ports,
                                const std::string& title) {
    int id = 0;
    std::string refused;
    const bool ran = onLoop_([&] {
        for (const auto& p : ports) {
            const auto& signs = state_.signs();
            if (std::none_of(signs.begin(), signs.end(), [&](const FoundSign& s) { return s.port == p; }))
                refused = "El puerto COM " + p + " no está entre los carteles encontrados.";
        }
        if (refused.empty()) id = state_.record(std::move(what), ports, title);
    });
    if (!ran) {
        res.status = 503;
        return;
    }
    if (!refused.empty()) {
        res.status = 400;
        res.set_content(refused + "\n", "text/plain; charset=utf-8");
        return;
    }
    res.set_redirect("/grabacion?id=" + std::to_string(id), 303);
}

void WebService::routes() {
    auto& s = server_;
    s.Get("/", [](const Request&, Response& res) { res.set_redirect("/mensajes", 303); });
    s.Get(R"(/estatico/(estilo\.css|letrador\.js))", [this](const Request& req, Response& res) {
        const std::string name = req.matches[1];
        res.set_header("Cache-Control", "no-cache");
        res.set_content(FileText(settings_.pages / name),
                        name.ends_with(".css") ? "text/css; charset=utf-8" : "text/javascript; charset=utf-8");
    });
    s.Get("/entrar", [this](const Request& req, Response& res) { login(req, res); });
    s.Post("/entrar", [this](const Request& req, Response& res) { login(req, res); });
    s.Post("/salir", [this](const Request& req, Response& res) {
        Visit v;
        if (!actionAllowed(req, res, v)) return;
        sessions_.close(CookieValue(req, kCookie));
        res.set_header("Set-Cookie", std::string(kCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict" +
                                         (settings_.tls ? "; Secure" : ""));
        res.set_redirect("/entrar", 303);
    });

    s.Get("/mensajes", [this](const Request& req, Response& res) { messages(req, res); });
    s.Get("/mensajes/imagen", [this](const Request& req, Response& res) {
        if (!visit(req).signedIn) {
            res.status = 401;
            return;
        }
        const std::string name = Field(req, "m");
        if (!ValidMessageName(name)) {
            res.status = 400;
            return;
        }
        const auto preview = desk_.paragraphPreview(name, static_cast<int>(WholeValue(Field(req, "p"))));
        if (!preview) {
            res.status = 404;
            return;
        }
        res.set_header("Cache-Control", "no-cache");
        res.set_content(EncodePng(DrawSignPicture(*preview)), "image/png");
    });
    s.Post("/mensajes/grabar", [this](const Request& req, Response& res) {
        Visit v;
        if (!actionAllowed(req, res, v)) return;
        const std::string name = Field(req, "m");
        if (!ValidMessageName(name)) {
            res.status = 400;
            return;
        }
        const auto ports = Fields(req, "puerto");
        std::string problem;
        auto message = ports.empty() ? std::nullopt : desk_.whole(name, problem);
        if (!message) {
            page(res, v, "Mensajes", "/mensajes",
                 Notice(ports.empty() ? "Marque al menos un cartel." : problem) +
                     "<p><a href=\"/mensajes?m=" + Html(Url(name)) + "\">Volver</a></p>",
                 422);
            return;
        }
        startRecording(res, std::move(*message), ports, "Mensaje " + name);
    });
    s.Post("/carteles/buscar", [this](const Request& req, Response& res) {
        Visit v;
        if (!actionAllowed(req, res, v)) return;
        std::string notice;
        // The search itself runs where the service's start-up put it (see main); here it is asked for.
        const bool ran = onLoop_([&] {
            if (state_.anyRecording()) notice = "Hay una grabación en curso: busque cuando termine.";
        });
        if (!ran) {
            res.status = 503;
            return;
        }
        if (notice.empty() && searchSigns) searchSigns();
        res.set_redirect(notice.empty() ? "/estado" : "/estado?ocupado=1", 303);
    });

    s.Get("/grabacion", [this](const Request& req, Response& res) { recording(req, res); });
    s.Get("/grabacion/datos", [this](const Request& req, Response& res) {
        if (!visit(req).signedIn) {
            res.status = 401;
            return;
        }
        std::optional<RunView> run;
        const int id = static_cast<int>(WholeValue(Field(req, "id")));
        if (!onLoop_([&] { run = state_.run(id); }) || !run) {
            res.status = 404;
            return;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_content(RunJson(*run), "application/json");
    });
    s.Get("/grabacion/eventos", [this](const Request& req, Response& res) { events(req, res); });
    s.Post("/grabacion/detener", [this](const Request& req, Response& res) {
        Visit v;
        if (!actionAllowed(req, res, v)) return;
        const int id = static_cast<int>(WholeValue(Field(req, "id")));
        onLoop_([&] { state_.stop(id); });
        res.set_redirect("/grabacion?id=" + std::to_string(id), 303);
    });

    s.Get("/rapido", [this](const Request& req, Response& res) { quick(req, res); });
    s.Get("/rapido/vista", [this](const Request& req, Response& res) {
        if (!visit(req).signedIn) {
            res.status = 401;
            return;
        }
        const std::string font = Field(req, "fuente");
        if (!ValidFontName(font)) {
            res.status = 400;
            return;
        }
        const auto q = desk_.quick(TypedText(Field(req, "texto")), font);
        res.set_header("Cache-Control", "no-store");
        res.set_content("{\"columnas\":" + std::to_string(q.preview.count) + ",\"capacidad\":" + Json(q.capacity) +
                            ",\"excedida\":" + (q.exceeded ? "true" : "false") +
                            ",\"faltan\":" + Json(MissingLine(q.preview)) + ",\"imagen\":\"data:image/png;base64," +
                            Base64(EncodePng(DrawSignPicture(q.preview))) + "\"}",
                        "application/json");
    });
    s.Post("/rapido/grabar", [this](const Request& req, Response& res) {
        Visit v;
        if (!actionAllowed(req, res, v)) return;
        const std::string font = Field(req, "fuente");
        if (!ValidFontName(font)) {
            res.status = 400;
            return;
        }
        const auto ports = Fields(req, "puerto");
        std::string problem;
        auto message = ports.empty() ? std::nullopt : desk_.quickWhole(TypedText(Field(req, "texto")), font, problem);
        if (!message) {
            res.status = 422;
            quick(req, res);
            return;
        }
        startRecording(res, std::move(*message), ports, "Mensaje rápido");
    });
    s.Post("/rapido/guardar", [this](const Request& req, Response& res) { quickSave(req, res); });

    s.Get("/turnos", [this](const Request& req, Response& res) { counters(req, res); });
    s.Post(R"(/turnos/(pulsar|agregar|quitar))", [this](const Request& req, Response& res) {
        Visit v;
        if (!actionAllowed(req, res, v)) return;
        const std::string what = req.matches[1];
        const std::string name = Field(req, "nombre");
        std::string problem;
        const bool ran = onLoop_([&] {
            if (what == "agregar") {
                problem = state_.addCounter(name, static_cast<int>(WholeValue(Field(req, "puerto"))),
                                            static_cast<int>(WholeValue(Field(req, "estilo"))));
            } else if (what == "quitar") {
                problem = state_.removeCounter(name);
            } else {
                const std::string a = Field(req, "accion");
                const Press p = a == "anterior" ? Press::Previous : a == "repetir" ? Press::Repeat : Press::Next;
                state_.press(name, p, problem);
            }
        });
        if (!ran) {
            res.status = 503;
            return;
        }
        if (!problem.empty()) {
            res.status = 422;
            counters(req, res, problem);
            return;
        }
        res.set_redirect("/turnos", 303);
    });

    s.Get("/programa", [this](const Request& req, Response& res) { programme(req, res); });
    s.Post(R"(/programa/(agregar|cambiar|quitar))", [this](const Request& req, Response& res) {
        Visit v;
        if (!actionAllowed(req, res, v)) return;
        const std::string what = req.matches[1];
        const auto line = static_cast<std::size_t>(std::max<Int16>(0, WholeValue(Field(req, "linea"))));
        const std::string old = Field(req, "anterior");
        std::string problem;
        const bool ran = onLoop_([&] {
            if (what == "agregar") problem = state_.addEntry(EntryLine(req));
            else if (what == "cambiar") problem = state_.changeEntry(line, old, EntryLine(req));
            else problem = state_.removeEntry(line, old);
        });
        if (!ran) {
            res.status = 503;
            return;
        }
        if (!problem.empty()) {
            res.status = 422;
            programme(req, res, problem);
            return;
        }
        res.set_redirect("/programa", 303);
    });

    s.Get("/estado", [this](const Request& req, Response& res) { status(req, res); });
}

void WebService::login(const Request& req, Response& res) {
    Visit v = visit(req);
    const bool posted = req.method == "POST";
    if (v.signedIn && !posted) {
        res.set_redirect("/mensajes", 303);
        return;
    }
    std::string notice;
    int code = 200;
    if (posted) {
        if (limiter_.blocked(req.remote_addr)) {
            res.status = 429;
            res.set_header("Retry-After", "60");
            page(res, Visit{}, "Entrar", "", Notice("Demasiados intentos fallidos: espere un minuto."), 429);
            return;
        }
        const std::string password = Field(req, "clave");
        const bool ok = settings_.passwordHash ? PasswordMatches(*settings_.passwordHash, password) : password.empty();
        if (ok) {
            const std::string token = sessions_.open();
            res.set_header("Set-Cookie", std::string(kCookie) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict" +
                                             (settings_.tls ? "; Secure" : ""));
            res.set_redirect("/mensajes", 303);
            return;
        }
        limiter_.failed(req.remote_addr);
        notice = "Clave incorrecta.";
        code = 401;
    }
    const std::string help =
        settings_.passwordHash
            ? ""
            : "<p class=\"aviso\">Todavía no hay clave: desde este equipo se entra sin clave. Para ponerla, "
              "ejecute <code>letrador-servicio --poner-clave</code>.</p>";
    page(res, Visit{}, "Entrar", "",
         Notice(notice) + help +
             "<form method=\"post\" action=\"/entrar\" class=\"entrar\"><label>Clave <input type=\"password\" "
             "name=\"clave\" id=\"clave\" autocomplete=\"current-password\" autofocus></label>"
             "<button id=\"cmdEntrar\">Entrar</button></form>",
         code);
}

void WebService::messages(const Request& req, Response& res) {
    Visit v;
    if (!pageAllowed(req, res, v)) return;
    const std::string chosen = Field(req, "m");
    if (!chosen.empty() && !ValidMessageName(chosen)) {
        res.status = 400;
        res.set_content("Nombre de mensaje no válido.\n", "text/plain; charset=utf-8");
        return;
    }
    std::vector<FoundSign> signs;
    onLoop_([&] { signs = state_.signs(); });
    std::string body = "<ul class=\"lista\" id=\"lstMensajes\">";
    for (const auto& m : desk_.messages())
        body += "<li><a href=\"/mensajes?m=" + Html(Url(m)) + "\"" +
                (m == chosen ? " aria-current=\"true\"" : "") + ">" + Html(m) + "</a></li>";
    body += "</ul>";
    if (!chosen.empty()) {
        const auto shown = desk_.read(chosen);
        body += "<section class=\"mensaje\"><h3>" + Html(chosen) + "</h3>";
        if (!shown.ok) {
            for (const auto& b : shown.boxes) body += Notice(b);
        } else {
            for (std::size_t k = 0; k < shown.paragraphs.size(); ++k) {
                const auto& p = shown.paragraphs[k];
                const std::string n = std::to_string(k + 1);
                body += "<figure class=\"parrafo\"><figcaption>Párrafo " + n + " · " + Html(p.FontFile) + " · " +
                        std::to_string(p.Columns) + " columnas" + (p.Ignore ? " · ignorado" : "") +
                        "</figcaption><p class=\"texto\">" + Html(ToUtf8(p.Text)) +
                        "</p><div class=\"tira\"><img alt=\"Vista del párrafo " + n +
                        "\" loading=\"lazy\" src=\"/mensajes/imagen?m=" + Html(Url(chosen)) +
                        "&amp;p=" + n + "\"></div></figure>";
            }
            body += "<p class=\"capacidad\">Total: " + std::to_string(shown.total) + " columnas · " +
                    Html(shown.capacity) + "</p>";
            body += "<form method=\"post\" action=\"/mensajes/grabar\"><input type=\"hidden\" name=\"csrf\" value=\"" +
                    v.csrf + "\"><input type=\"hidden\" name=\"m\" value=\"" + Html(chosen) + "\">" +
                    signChoice(signs) + "<button id=\"cmdGrabar\" class=\"principal\">Grabar</button></form>";
        }
        body += "</section>";
    }
    page(res, v, "Mensajes", "/mensajes", body);
}

void WebService::recording(const Request& req, Response& res) {
    Visit v;
    if (!pageAllowed(req, res, v)) return;
    const int id = static_cast<int>(WholeValue(Field(req, "id")));
    std::optional<RunView> run;
    onLoop_([&] { run = state_.run(id); });
    if (!run) {
        page(res, v, "Grabación", "", Notice("No hay ninguna grabación con ese número."), 404);
        return;
    }
    std::string body = "<section id=\"grabacion\" data-id=\"" + std::to_string(id) + "\" data-terminada=\"" +
                       (run->ended ? "1" : "0") + "\"><h3>" + Html(run->title) + "</h3>";
    for (std::size_t k = 0; k < run->ports.size(); ++k) {
        std::string log;
        for (const auto& l : run->logs[k]) log += Html(l) + "\n";
        body += "<article class=\"cartel\"><h4>COM " + Html(run->ports[k]) + "</h4><p class=\"progreso\">" +
                Html(run->progress[k]) + "</p><pre class=\"registro\">" + log + "</pre><p class=\"veredicto\">" +
                (run->verdicts[k] ? Html(VerdictLine(*run->verdicts[k])) : std::string()) + "</p></article>";
    }
    body += "<form method=\"post\" action=\"/grabacion/detener\" id=\"frmDetener\"" +
            std::string(run->ended ? " hidden" : "") + "><input type=\"hidden\" name=\"csrf\" value=\"" + v.csrf +
            "\"><input type=\"hidden\" name=\"id\" value=\"" + std::to_string(id) +
            "\"><button id=\"cmdDetener\">Detener</button></form></section>";
    page(res, v, "Grabación", "", body);
}

void WebService::events(const Request& req, Response& res) {
    if (!visit(req).signedIn) {
        res.status = 401;
        return;
    }
    {
        std::lock_guard lock(streamsMutex_);
        if (streams_ >= kMaxEventStreams) {
            res.status = 503;
            return;
        }
        ++streams_;
    }
    const int id = static_cast<int>(WholeValue(Field(req, "id")));
    auto last = std::make_shared<long>(-1);
    auto quiet = std::make_shared<int>(0);
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, id, last, quiet](std::size_t, httplib::DataSink& sink) {
            std::optional<RunView> run;
            if (!sink.is_writable() || !onLoop_([&] { run = state_.run(id); }) || !run) {
                sink.done();
                return true;
            }
            if (run->version != *last) {
                *last = run->version;
                const std::string data = "data: " + RunJson(*run) + "\n\n";
                if (!sink.write(data.data(), data.size())) return false;
                *quiet = 0;
            } else if (++*quiet % 50 == 0) {
                if (!sink.write(": sigue\n\n", 9)) return false;
            }
            if (run->ended) {
                sink.done();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            return true;
        },
        [this](bool) {
            std::lock_guard lock(streamsMutex_);
            --streams_;
        });
}

void WebService::quick(const Request& req, Response& res) {
    Visit v;
    const bool refused = res.status == 422;
    if (!refused && !pageAllowed(req, res, v)) return;
    if (refused) v = visit(req);
    const auto fonts = desk_.fonts();
    std::string font = Field(req, "fuente");
    // The program's own font first, as a new paragraph would most often use it.
    if (font.empty() || !ValidFontName(font))
        font = std::find(fonts.begin(), fonts.end(), "normal.ffv") != fonts.end() ? "normal.ffv"
               : fonts.empty()                                                   ? ""
                                                                                 : fonts.front();
    const std::string text = Field(req, "texto");
    std::vector<FoundSign> signs;
    onLoop_([&] { signs = state_.signs(); });
    std::string notice;
    if (refused) {
        std::string problem;
        if (Fields(req, "puerto").empty()) notice = "Marque al menos un cartel.";
        else if (!desk_.quickWhole(TypedText(text), font, problem)) notice = problem;
    }
    const auto q = desk_.quick(TypedText(text), font);
    std::string body = Notice(notice) + "<form method=\"post\" action=\"/rapido/grabar\" id=\"frmRapido\">"
                       "<input type=\"hidden\" name=\"csrf\" value=\"" + v.csrf + "\">"
                       "<label for=\"texto\">Texto</label><textarea id=\"texto\" name=\"texto\" rows=\"3\">" +
                       Html(text) + "</textarea><div class=\"efectos\" id=\"efectos\">";
    for (int k = 0; k < 11; ++k) {
        const std::string tag = ToUtf8(EffectTag(k));
        body += "<button type=\"button\" data-efecto=\"" + Html(tag) + "\" title=\"" +
                Html(EffectListText(EffectTag(k)[1])) + "\">" + Html(tag) + "</button>";
    }
    body += "</div><label>Fuente <select name=\"fuente\" id=\"fuente\">";
    for (const auto& f : fonts) body += Option(f, f, f == font);
    body += "</select></label><div class=\"tira\"><img id=\"vista\" alt=\"Vista del mensaje en el cartel\" src=\"data:image/png;base64," +
            Base64(EncodePng(DrawSignPicture(q.preview))) + "\"></div><p id=\"columnas\">Columnas del párrafo: " +
            std::to_string(q.preview.count) + "</p><p id=\"capacidad\" class=\"" + (q.exceeded ? "mal" : "") + "\">" +
            Html(q.capacity) + "</p><p id=\"faltan\" class=\"faltan\">" + Html(MissingLine(q.preview)) + "</p>" +
            signChoice(signs) +
            "<button id=\"cmdGrabar\" class=\"principal\">Grabar</button>"
            "<fieldset class=\"guardar\"><legend>Guardar como</legend><label>Nombre <input name=\"nombre\" id=\"nombre\" "
            "placeholder=\"oferta.fmv\" value=\"" + Html(Field(req, "nombre")) + "\"></label>"
            "<button id=\"cmdGuardarComo\" formaction=\"/rapido/guardar\">Guardar como</button></fieldset></form>";
    page(res, v, "Mensaje rápido", "/rapido", body, refused ? 422 : 200);
}

void WebService::quickSave(const Request& req, Response& res) {
    Visit v;
    if (!actionAllowed(req, res, v)) return;
    const std::string font = Field(req, "fuente");
    std::string name = Field(req, "nombre");
    if (!name.empty()) name = WithMessageExtension(name);
    if (!ValidFontName(font) || !ValidMessageName(name)) {
        res.status = 400;
        res.set_content("Nombre de mensaje o de fuente no válido.\n", "text/plain; charset=utf-8");
        return;
    }
    std::string problem;
    const std::string text = Field(req, "texto");
    const auto saved = desk_.saveQuick(TypedText(text), font, name, Field(req, "confirmar") == "si", problem);
    auto hidden = [&](const char* field, const std::string& value) {
        return std::string("<input type=\"hidden\" name=\"") + field + "\" value=\"" + Html(value) + "\">";
    };
    if (saved == MessageDesk::Saved::Exists) {
        page(res, v, "Mensaje rápido", "/rapido",
             "<form method=\"post\" action=\"/rapido/guardar\" class=\"pregunta\"><p>El archivo " + Html(name) +
                 " ya existe. ¿Desea reemplazarlo?</p>" + hidden("csrf", v.csrf) + hidden("texto", text) +
                 hidden("fuente", font) + hidden("nombre", name) + hidden("confirmar", "si") +
                 "<button id=\"cmdReemplazar\" class=\"principal\">Sí, reemplazarlo</button> <a href=\"/rapido\">No</a></form>",
             409);
        return;
    }
    if (saved == MessageDesk::Saved::No) {
        res.status = 422;
        page(res, v, "Mensaje rápido", "/rapido", Notice(problem) + "<p><a href=\"/rapido\">Volver</a></p>", 422);
        return;
    }
    res.set_redirect("/mensajes?m=" + Url(name), 303);
}

void WebService::counters(const Request& req, Response& res, const std::string& notice) {
    Visit v;
    if (notice.empty() && !pageAllowed(req, res, v)) return;
    if (!notice.empty()) v = visit(req);
    std::vector<CounterView> list;
    std::vector<FoundSign> signs;
    onLoop_([&] {
        list = state_.counters();
        signs = state_.signs();
    });
    bool recording = false;
    std::string body = Notice(notice) + "<div class=\"turneros\">";
    for (const auto& c : list) {
        recording = recording || c.recording;
        char number[4];
        std::snprintf(number, sizeof number, "%02d", c.counter.number);
        const std::string hidden = "<input type=\"hidden\" name=\"csrf\" value=\"" + v.csrf +
                                   "\"><input type=\"hidden\" name=\"nombre\" value=\"" + Html(c.counter.name) + "\">";
        body += "<article class=\"turnero\" data-nombre=\"" + Html(c.counter.name) + "\"><h3>" + Html(c.counter.name) +
                " <small>COM " + std::to_string(c.counter.port) + " · estilo " + std::to_string(c.counter.style) +
                "</small></h3><p class=\"numero\">" + number + "</p><p class=\"veredicto\">" +
                VerdictHtml(c.verdict, c.recording) + "</p><form method=\"post\" action=\"/turnos/pulsar\" class=\"teclas\">" +
                hidden +
                "<button name=\"accion\" value=\"anterior\">Anterior</button>"
                "<button name=\"accion\" value=\"repetir\">Repetir</button>"
                "<button name=\"accion\" value=\"siguiente\" class=\"principal\">Siguiente</button></form>"
                "<form method=\"post\" action=\"/turnos/quitar\" class=\"quitar\">" +
                hidden + "<button class=\"secundario\">Quitar turnero</button></form></article>";
    }
    body += "</div><form method=\"post\" action=\"/turnos/agregar\" class=\"nuevo\"><h3>Nuevo turnero</h3>"
            "<input type=\"hidden\" name=\"csrf\" value=\"" + v.csrf + "\"><label>Nombre <input name=\"nombre\" "
            "required maxlength=\"40\" placeholder=\"Caja 1\"></label><label>Cartel <select name=\"puerto\">";
    for (const auto& s : signs) body += Option(s.port, "COM " + s.port, false);
    body += "</select></label><label>Estilo <select name=\"estilo\">" + Option("1", "1", true) +
            Option("2", "2", false) + Option("3", "3", false) + "</select></label><button>Agregar</button></form>";
    if (recording) body += "<p hidden id=\"recargar\"></p>";
    page(res, v, "Turnos", "/turnos", body, notice.empty() ? 200 : 422);
}

void WebService::programme(const Request& req, Response& res, const std::string& notice) {
    Visit v;
    if (notice.empty() && !pageAllowed(req, res, v)) return;
    if (!notice.empty()) v = visit(req);
    ProgrammeView view;
    std::string now;
    bool recording = false;
    onLoop_([&] {
        view = state_.programme();
        recording = state_.anyRecording();
        now = state_.clockText();
    });
    const auto messages = desk_.messages();
    std::string body = Notice(notice) + "<p class=\"hora\">Hora del servicio: <span id=\"hora\">" + Html(now) + "</span></p>";
    for (const auto& e : view.errors) body += Notice("programa.txt, " + e);
    body += "<ol class=\"programa\">";
    for (const auto& e : view.entries) {
        const std::string hidden = "<input type=\"hidden\" name=\"csrf\" value=\"" + v.csrf +
                                   "\"><input type=\"hidden\" name=\"linea\" value=\"" + std::to_string(e.line) +
                                   "\"><input type=\"hidden\" name=\"anterior\" value=\"" + Html(e.text) + "\">";
        body += "<li class=\"entrada\"><p class=\"linea\"><code>" + Html(e.entry.line()) + "</code></p><ul class=\"ultimas\">";
        if (e.lastRuns.empty()) body += "<li>Todavía no se grabó.</li>";
        for (const auto& [port, run] : e.lastRuns)
            body += "<li>COM " + std::to_string(port) + ": " + Html(run.date + " " + run.time) + " " +
                    VerdictHtml(run.verdict, !run.verdict) + "</li>";
        body += "</ul><details><summary>Cambiar</summary><form method=\"post\" action=\"/programa/cambiar\">" + hidden +
                EntryFields(&e.entry, messages) + "<button>Guardar cambio</button></form></details>"
                "<form method=\"post\" action=\"/programa/quitar\">" + hidden +
                "<button class=\"secundario\">Quitar</button></form></li>";
    }
    body += "</ol><form method=\"post\" action=\"/programa/agregar\" id=\"frmAgregar\" class=\"nuevo\"><h3>Nueva entrada</h3>"
            "<input type=\"hidden\" name=\"csrf\" value=\"" + v.csrf + "\">" + EntryFields(nullptr, messages) +
            "<button id=\"cmdAgregar\">Agregar</button></form>";
    if (recording) body += "<p hidden id=\"recargar\"></p>";
    page(res, v, "Programa", "/programa", body, notice.empty() ? 200 : 422);
}

void WebService::status(const Request& req, Response& res) {
    Visit v;
    if (!pageAllowed(req, res, v)) return;
    std::vector<SignStatus> list;
    bool recording = false;
    onLoop_([&] {
        list = state_.status();
        recording = state_.anyRecording();
    });
    std::string body = Field(req, "ocupado").empty() ? "" : Notice("Hay una grabación en curso: busque cuando termine.");
    body += "<table class=\"estado\"><thead><tr><th>Cartel</th><th>Dirección</th><th>Última grabación</th>"
            "<th>Resultado</th><th>Hora</th></tr></thead><tbody>";
    for (const auto& s : list) {
        body += "<tr><td data-titulo=\"Cartel\">COM " + Html(s.port) + "</td><td data-titulo=\"Dirección\">" +
                (s.device.empty() ? "—" : Html(s.device)) + "</td><td data-titulo=\"Última grabación\">" +
                (s.last.empty() ? "—" : "<a href=\"/grabacion?id=" + std::to_string(s.runId) + "\">" + Html(s.last) + "</a>") +
                "</td><td data-titulo=\"Resultado\">" + VerdictHtml(s.verdict, s.recording) +
                "</td><td data-titulo=\"Hora\">" + Html(s.when) + "</td></tr>";
    }
    body += "</tbody></table><form method=\"post\" action=\"/carteles/buscar\"><input type=\"hidden\" name=\"csrf\" "
            "value=\"" + v.csrf + "\"><button>Buscar carteles</button></form>";
    if (recording) body += "<p hidden id=\"recargar\"></p>";
    page(res, v, "Estado", "/estado", body);
}

}  // namespace letrador::service
