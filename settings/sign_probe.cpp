#include "settings/sign_probe.h"

#include "signlink/grabacion.h"
#include "signlink/puerto_serie.h"

namespace letrador {
namespace {

// The exchanges' own log lines ("Error de Timeout.") are not shown: the outcome says it all.
class NoLog : public LogWriter {
  public:
    void AgregarLog(std::string_view, bool) override {}
};

}  // namespace

SignProbe ProbeSign(platform::SerialLink& link, platform::EventPump& pump, platform::Ticker& ticker,
                    int numero) {
    SignProbe probe;
    if (link.isOpen()) link.close();
    link.setPort(numero);
    if (!link.open(&probe.reason)) return probe;
    NoLog log;
    {
        PuertoSerie puerto(link, pump, log);
        puerto.connect(ticker);
        // The same attempts and pauses as the opening of a recording.
        puerto.Pausa(kPausaApertura);
        probe.outcome = SignProbe::Outcome::NoReply;
        for (Int16 n = 0; n < kMaxReintentos && !link.isLost(); ++n) {
            if (puerto.EnviarLeer(CodAtencion) != CodAcuse) {
                puerto.Pausa(kPausaApertura);
                continue;
            }
            probe.outcome = puerto.EnviarLeer(CodModelo) == ModeloCartel
                                ? SignProbe::Outcome::Answered
                                : SignProbe::Outcome::OtherModel;
            break;
        }
        link.setReceiveHandler({});
        ticker.setTickHandler({});
    }
    link.close();
    return probe;
}

std::string ProbeText(const SignProbe& probe) {
    switch (probe.outcome) {
        case SignProbe::Outcome::Answered:
            return "El cartel respondió.";
        case SignProbe::Outcome::NotOpened:
            return "No se pudo conectar: " + probe.reason;
        case SignProbe::Outcome::NoReply:
            return "El servidor respondió pero el cartel no contestó.";
        case SignProbe::Outcome::OtherModel:
            return "Contestó un cartel, pero de otro modelo.";
    }
    return {};
}

}  // namespace letrador
