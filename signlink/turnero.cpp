#include "signlink/turnero.h"

#include "signlink/turnero_digits.h"

namespace letrador {

bool Turnero::AbrirTurnero(std::string_view textoPuerto) {
    PuertoSerie& puerto = grabador_.puerto();
    RecordingView& view = grabador_.view();
    if (!grabador_.PrepararYAbrirPuerto(textoPuerto, "Reconociendo modelo de cartel...")) {
        return false;
    }
    bool reconocido = false;
    if (puerto.EnviarLeer(CodAtencion) == CodAcuse) {
        if (puerto.EnviarLeer(CodModelo) == ModeloCartel) {
            view.AgregarLog("Cartel electrónico compatible.", true);
            reconocido = true;
        } else if (!grabador_.Detenida()) {
            view.AgregarLog("El modelo de cartel no coincide.", true);
        }
    }
    puerto.Pausa(1);
    if (!reconocido) return false;
    view.setProgress("Comenzando grabación...", -1);
    view.AgregarLog("Comenzando grabación...", true);
    if (puerto.EnviarLeer(CodAtencion) != CodAcuse) return false;
    return puerto.EnviarLeer(CodGrabar) == CodAcuse;
}

bool Turnero::EnviarDigito(int digito, int estilo) {
    bool r = true;
    for (std::uint8_t columna : ColumnasDigito(digito, estilo)) {
        r = grabador_.puerto().EnviarComparar(columna);
    }
    return r;
}

bool Turnero::EnviarEntrada(int decenas, int unidades, int estilo) {
    PuertoSerie& puerto = grabador_.puerto();
    if (!EnviarDigito(decenas, estilo)) return false;
    if (!puerto.EnviarComparar(ColumnaVacia)) return false;
    if (!EnviarDigito(unidades, estilo)) return false;
    if (!puerto.EnviarComparar(CodFinNumero)) return false;
    if (!puerto.EnviarComparar(CodSeparador)) return false;
    // The number shown is the share: 00 to 99.
    grabador_.view().setProgress(
        "Grabando: " + std::to_string(decenas) + std::to_string(unidades) + "% completado.",
        decenas * 10 + unidades);
    return true;
}

bool Turnero::GrabarTurnero(int estilo, std::string_view textoPuerto) {
    grabador_.puerto().ErrorGrabacion = false;
    bool r = AbrirTurnero(textoPuerto);
    for (int decenas = 0; decenas <= 9 && r; ++decenas) {
        for (int unidades = 0; unidades <= 9 && r; ++unidades) {
            r = EnviarEntrada(decenas, unidades, estilo);
        }
    }
    return grabador_.CerrarGrabacion(r);
}

bool Turnero::GrabarNumero(int estilo, int numero, std::string_view textoPuerto) {
    grabador_.puerto().ErrorGrabacion = false;
    bool r = AbrirTurnero(textoPuerto);
    if (r) r = EnviarEntrada(numero / 10 % 10, numero % 10, estilo);
    return grabador_.CerrarGrabacion(r);
}

}  // namespace letrador
