#include "signlink/recording_commands.h"

#include "files/file_commands.h"
#include "signlink/turnero.h"

#include "message/codepage.h"

namespace letrador {

bool RecordWholeMessage(Grabador& grabador, const std::vector<ParrafoAGrabar>& parrafos,
                        const OpcionesGrabacion& opciones) {
    PuertoSerie& puerto = grabador.puerto();
    RecordingView& view = grabador.view();
    bool r = grabador.AbrirGrabacion(opciones.textoPuerto);
    if (r) {
        puerto.ErrorGrabacion = false;
        const long long n = static_cast<long long>(parrafos.size());
        for (long long p = 1; p <= n; ++p) {
            const ParrafoAGrabar& parrafo = parrafos[p - 1];
            if (parrafo.Ignore) continue;
            view.AgregarLog("Grabando párrafo " + DecimalText(p) + " de " + DecimalText(n) + "...",
                            true);
            puerto.ErrorParrafo = false;
            r = grabador.GrabarParrafo(parrafo.Text, parrafo.fontPath, parrafo.Separation,
                                       opciones.spaceWidth);
            if (!opciones.joined && r) r = grabador.EnviarEfecto(U'1');
            if (!r) break;
            if (!puerto.ErrorParrafo) view.AgregarLog(" OK.", false);
        }
    }
    return grabador.CerrarGrabacion(r);
}

std::optional<std::vector<ParrafoAGrabar>> PrepararMensajeTotal(ParagraphCommands& commands,
                                                                 const ParagraphStore& store,
                                                                 const EditorView& view,
                                                                 platform::Dialogs& dialogs) {
    commands.cmdParGuardar_Click();
    if (store.CapacityExceeded) {
        dialogs.information("No se puede grabar el mensaje porque excede la capacidad del cartel.");
        return std::nullopt;
    }
    std::vector<ParrafoAGrabar> parrafos;
    for (int k = 1; k <= view.paragraphItemCount() && store.hasParagraph(k); ++k) {
        const ParagraphRecord& r = store.paragraph(k);
        parrafos.push_back({r.Text, store.fontPath(r.FontFile), r.Separation, r.Ignore});
    }
    return parrafos;
}

bool GrabarMensajeTotal(ParagraphCommands& commands, const ParagraphStore& store,
                        const EditorView& view, platform::Dialogs& dialogs, Grabador& grabador,
                        const std::string& textoPuerto, bool joined) {
    const auto parrafos = PrepararMensajeTotal(commands, store, view, dialogs);
    if (!parrafos) return false;
    RecordWholeMessage(grabador, *parrafos, {textoPuerto, joined, store.SpaceWidth});
    return true;
}

bool RecordCurrentParagraph(Grabador& grabador, std::u32string_view texto,
                            std::u32string_view seleccion, const std::string& fontPath,
                            Int16 separacion, const OpcionesGrabacion& opciones) {
    PuertoSerie& puerto = grabador.puerto();
    RecordingView& view = grabador.view();
    puerto.ErrorGrabacion = false;
    bool r = grabador.AbrirGrabacion(opciones.textoPuerto);
    if (r) {
        if (!seleccion.empty()) {
            view.AgregarLog("Grabando selección: " + ToUtf8(seleccion), true);
            r = grabador.GrabarParrafo(seleccion, fontPath, separacion, opciones.spaceWidth);
        } else {
            view.AgregarLog("Grabando párrafo actual...", true);
            puerto.ErrorParrafo = false;
            r = grabador.GrabarParrafo(texto, fontPath, separacion, opciones.spaceWidth);
            if (r && !puerto.ErrorParrafo) view.AgregarLog("OK", false);
        }
    }
    return grabador.CerrarGrabacion(r);
}

bool ConfirmarTurnero(platform::Dialogs& dialogs) {
    return Confirmar(dialogs, std::string(kTurneroPregunta), std::string(kTurneroTitulo));
}

bool GrabarTurneroConfirmado(platform::Dialogs& dialogs, Grabador& grabador, int estilo,
                             std::string_view textoPuerto) {
    if (!ConfirmarTurnero(dialogs)) return false;
    Turnero(grabador).GrabarTurnero(estilo, textoPuerto);
    return true;
}

}  // namespace letrador
