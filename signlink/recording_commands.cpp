#include "signlink/recording_commands.h"

#include "files/file_commands.h"
#include "message/codepage.h"
#include "message/font_file.h"
#include "signlink/turnero.h"

namespace letrador {

std::optional<WholeMessage> PrepararMensajeTotal(ParagraphCommands& commands,
                                                 const ParagraphStore& store,
                                                 const EditorView& view,
                                                 platform::Dialogs& dialogs, bool joined) {
    commands.cmdParGuardar_Click();
    if (store.CapacityExceeded) {
        dialogs.information("No se puede grabar el mensaje porque excede la capacidad del cartel.");
        return std::nullopt;
    }
    WholeMessage message{{}, joined, store.SpaceWidth};
    for (int k = 1; k <= view.paragraphItemCount() && store.hasParagraph(k); ++k) {
        const ParagraphRecord& r = store.paragraph(k);
        message.parrafos.push_back({r.Text, store.fontPath(r.FontFile), r.Separation, r.Ignore});
    }
    return message;
}

std::optional<CurrentParagraph> PrepararParrafoActual(const ParagraphStore& store,
                                                      EditorView& view,
                                                      platform::Dialogs& dialogs) {
    CurrentParagraph p;
    p.texto = view.messageText();
    if (p.texto.empty()) {
        dialogs.information(kMsgTextoVacio);
        view.setFocus(EditorControl::txtMsjMensaje);
        return std::nullopt;
    }
    if (view.fontFileText().empty()) {
        dialogs.information(kMsgSinFuente);
        return std::nullopt;
    }
    p.fontPath = store.fontPath(view.fontFileText());
    p.separacion = WholeValue(view.separationText());
    p.spaceWidth = store.SpaceWidth;
    // The whole text must fit, even when only a selection is recorded.
    if (ContarColumnas(p.texto, p.fontPath, p.separacion, store.SpaceWidth) >
        store.SignCapacity) {
        dialogs.information("El texto supera la capacidad del cartel. Debe reducir el texto.");
        return std::nullopt;
    }
    p.seleccion = view.selectedMessageText();
    return p;
}

bool ConfirmarTurnero(platform::Dialogs& dialogs) {
    return Confirmar(dialogs, std::string(kTurneroPregunta), std::string(kTurneroTitulo));
}

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

}  // namespace letrador
