#include "signlink/grabacion.h"

#include "message/codepage.h"
#include "message/sign_preview.h"

namespace letrador {

static_assert(ColumnaVacia == kBlankColumn, "the preview's dark column is the blank column");

namespace {

std::string CharText(char32_t c) {
    return ToUtf8(std::u32string_view(&c, 1));
}

const FontData& OrEmpty(const std::shared_ptr<const FontData>& fuente) {
    static const FontData kEmpty;
    return fuente ? *fuente : kEmpty;
}

}  // namespace

CodigoEfecto CodigoDeEfecto(char32_t caracter) {
    switch (caracter) {
        case U'0':
            return {0xD3};
        case U'1':
            return {0xC9};
        case U'2':
            return {0xD4};
        case U'3':
            return {0xC8};
        case U'4':
            return {0xCA};
        case U'5':
            return {0xCB};
        case U'6':
            return {0xCD};
        case U'7':
            return {0xCE};
        case U'8':
            return {0xCC};
        case U'9':
            return {0xCF};
        case U'A':
            return {0xC9, 0xD1, true};
        default:
            return {0x00};
    }
}

Int16 NumeroDePuerto(std::string_view textoPuerto) {
    return WholeValue(textoPuerto);
}

std::string LineaErrorCaracter(long long posicion, char32_t caracter) {
    return "Error: caracter " + DecimalText(posicion) + " (" + CharText(caracter) +
           ") no se grabó correctamente.";
}

std::string LineaErrorEfecto(long long posicion, char32_t efecto) {
    return "Error: caracter " + DecimalText(posicion) + " (efecto " + CharText(efecto) +
           ") no se grabó correctamente.";
}

Grabador::Grabador(PuertoSerie& puerto, RecordingView& view) : puerto_(puerto), view_(view) {}

bool Grabador::PrepararYAbrirPuerto(std::string_view textoPuerto,
                                    std::string_view lineaTrasPuerto) {
    view_.prepare();
    puerto_.NuevaGrabacion();
    puertoNoAbrio_ = false;
    view_.AgregarLog("Usando puerto COM " + std::string(textoPuerto) + ".", false);
    view_.setProgress("Reconociendo dispositivo...", -1);
    view_.AgregarLog(lineaTrasPuerto, true);
    auto& link = puerto_.link();
    if (link.isOpen()) link.close();
    link.setPort(NumeroDePuerto(textoPuerto));
    std::string reason;
    if (!link.open(&reason)) {
        view_.AgregarLog(
            "No se pudo abrir el puerto COM " + std::string(textoPuerto) + ": " + reason, true);
        puertoNoAbrio_ = true;
        return false;
    }
    return true;
}

void Grabador::LineaReintento(Int16 n) {
    view_.AgregarLog("  -Reintento " + DecimalText(n + 1) + " de " + DecimalText(MaxReintentos),
                     true);
}

bool Grabador::AbrirGrabacion(std::string_view textoPuerto) {
    MaxReintentos = kMaxReintentos;
    if (!PrepararYAbrirPuerto(textoPuerto, "Reconociendo dispositivo...")) return false;
    puerto_.Pausa(kPausaApertura);

    bool reconocido = false;
    for (Int16 n = 0;;) {
        if (n >= MaxReintentos) {
            view_.AgregarLog("Error: reintentos superados.", true);
            break;
        }
        if (puerto_.EnviarLeer(CodAtencion) != CodAcuse) {
            if (Detenida()) return false;
            LineaReintento(n);
            ++n;
            puerto_.Pausa(kPausaApertura);
            continue;
        }
        if (puerto_.EnviarLeer(CodModelo) == ModeloCartel) {
            view_.AgregarLog("Cartel electrónico compatible.", true);
            reconocido = true;
        } else if (!Detenida()) {
            view_.AgregarLog("Error: el modelo de cartel no coincide.", true);
        }
        break;
    }
    puerto_.Pausa(kPausaApertura);
    if (!reconocido) return false;

    view_.setProgress("Comenzando grabación...", -1);
    view_.AgregarLog("Comenzando grabación...", true);
    for (Int16 n = 0;;) {
        if (n >= MaxReintentos) return false;
        if (puerto_.EnviarLeer(CodAtencion) != CodAcuse) {
            if (Detenida()) return false;
            LineaReintento(n);
            ++n;
            puerto_.Pausa(kPausaApertura);
            continue;
        }
        return puerto_.EnviarLeer(CodGrabar) == CodAcuse;
    }
}

bool Grabador::GrabarParrafo(std::u32string_view texto, const std::string& archivoFuente,
                             Int16 separacion, Int16 spaceWidth) {
    const auto cargada = LoadFont(archivoFuente);
    const FontData& fuente = OrEmpty(cargada);
    const long long largo = static_cast<long long>(texto.size());
    bool r = true;
    // Positions are 1-based, as the error lines give them.
    for (long long i = 1; i <= largo && r; ++i) {
        const char32_t c = texto[i - 1];
        if (c == U'<' && i + 2 <= largo && texto[i + 1] == U'>') {
            const char32_t e = texto[i];
            r = EnviarEfecto(e);
            if (!r && !Detenida()) view_.AgregarLog(LineaErrorEfecto(i, e), true);
            i += 2;
        } else if (c == U' ') {
            for (Int16 k = 0; k < spaceWidth; ++k) {
                r = puerto_.EnviarComparar(ColumnaVacia);
                if (!r && !Detenida()) view_.AgregarLog(LineaErrorCaracter(i, c), true);
            }
        } else {
            const Envio envio = EnviarGlifo(c, fuente, separacion);
            r = envio != Envio::SinRespuesta;
            if (envio != Envio::Enviado && !Detenida())
                view_.AgregarLog(LineaErrorCaracter(i, c), true);
        }
        if (Detenida()) break;
        const long long percent = i * 100 / largo;
        view_.setProgress("Grabando: " + DecimalText(percent) + "% completado",
                          static_cast<int>(percent));
    }
    return r;
}

bool Grabador::EnviarEfecto(char32_t caracter) {
    const CodigoEfecto codigo = CodigoDeEfecto(caracter);
    if (!codigo.tieneSegundo) return puerto_.EnviarComparar(codigo.primero);
    if (!puerto_.EnviarComparar(codigo.primero)) return false;
    return puerto_.EnviarComparar(codigo.segundo);
}

Grabador::Envio Grabador::EnviarGlifo(char32_t caracter, const FontData& fuente, Int16 separacion) {
    // The one rule for a character's columns, shared with the preview of the main window.
    const GlyphColumns glifo = GlyphColumnsOf(fuente, caracter);
    if (glifo.kind == GlyphColumns::Kind::Nothing) return Envio::Enviado;
    // A column that does not fit in one byte would reach the sign as some other pattern: the
    // whole character is kept back and the recording is marked as not clean.
    if (glifo.kind == GlyphColumns::Kind::Refused) {
        puerto_.ErrorParrafo = true;
        puerto_.ErrorGrabacion = true;
        return Envio::Rechazado;
    }
    bool r = EnviarColumna(glifo.values[0]);
    for (int k = 1; k < glifo.width && r; ++k) r = EnviarColumna(glifo.values[k]);
    if (separacion > 0 && r) {
        for (Int16 k = 0; k < separacion; ++k) r = puerto_.EnviarComparar(ColumnaVacia);
    }
    return r ? Envio::Enviado : Envio::SinRespuesta;
}

bool Grabador::EnviarCaracter(char32_t caracter, const FontData& fuente, Int16 separacion) {
    return EnviarGlifo(caracter, fuente, separacion) != Envio::SinRespuesta;
}

bool Grabador::EnviarCaracter(char32_t caracter, const std::string& archivoFuente,
                              Int16 separacion) {
    const auto cargada = LoadFont(archivoFuente);
    return EnviarCaracter(caracter, OrEmpty(cargada), separacion);
}

bool Grabador::EnviarColumna(std::uint8_t valor) {
    return puerto_.EnviarComparar(ColumnByte(valor));
}

bool Grabador::CerrarGrabacion(bool correcto) {
    Int16 r = -1;
    if (correcto) {
        view_.setProgress("Finalizando grabación...", -1);
        view_.AgregarLog("Finalizando grabación...", true);
        r = puerto_.EnviarLeer(CodSeparador);
        if (r == CodSeparador) r = puerto_.EnviarLeer(CodCierre);
        if (r == CodCierre) r = puerto_.EnviarLeer(CodFinal);
    }
    if (puerto_.link().isOpen()) puerto_.link().close();
    if (Detenida()) {
        verdict_ = Verdict::Stopped;
    } else if (puertoNoAbrio_) {
        verdict_ = Verdict::CouldNotOpen;
    } else if (puerto_.Perdida()) {
        verdict_ = Verdict::LinkLost;
    } else if (!correcto || r == -1 || puerto_.ErrorGrabacion) {
        verdict_ = Verdict::Errors;
    } else {
        verdict_ = Verdict::Clean;
    }
    view_.AgregarLog(VerdictLine(verdict_), true);
    const std::string_view last = Detenida() ? kLineaDetenida : "Grabación finalizada.";
    view_.setProgress(last, -1);
    view_.AgregarLog(last, true);
    view_.showClose();
    return r == CodAcuse;
}

}  // namespace letrador
