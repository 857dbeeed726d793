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
        } else {
            view.AgregarLog("El modelo de cartel no coincide.", true);
        }
    }
    puerto.Pausa(1);
    if (!reconocido) return false;
    view.setProgress("Comenzando grabación...");
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

bool Turnero::GrabarTurnero(int estilo, std::string_view textoPuerto) {
    PuertoSerie& puerto = grabador_.puerto();
    puerto.ErrorGrabacion = false;
    bool r = AbrirTurnero(textoPuerto);
    for (int decenas = 0; decenas <= 9 && r; ++decenas) {
        for (int unidades = 0; unidades <= 9 && r; ++unidades) {
            if (!(r = EnviarDigito(decenas, estilo))) break;
            if (!(r = puerto.EnviarComparar(ColumnaVacia))) break;
            if (!(r = EnviarDigito(unidades, estilo))) break;
            if (!(r = puerto.EnviarComparar(CodFinNumero))) break;
            if (!(r = puerto.EnviarComparar(CodSeparador))) break;
            grabador_.view().setProgress("Grabando: " + std::to_string(decenas) +
                                         std::to_string(unidades) + "% completado.");
        }
    }
    return grabador_.CerrarGrabacion(r);
}

}  // namespace letrador
