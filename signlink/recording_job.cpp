#include "signlink/recording_job.h"

namespace letrador {

std::string_view VerdictLine(Verdict verdict) {
    return verdict == Verdict::Clean ? "La grabación se realizó sin errores."
                                     : "Hubo errores en la grabación.";
}

std::string_view VerdictWords(Verdict verdict) {
    switch (verdict) {
        case Verdict::Clean:
            return "sin errores";
        case Verdict::Errors:
            return "con errores";
        case Verdict::CouldNotOpen:
            return "no se pudo abrir el puerto";
        case Verdict::LinkLost:
            return "se perdió la conexión";
        case Verdict::Stopped:
            return "detenida por el operador";
    }
    return "con errores";
}

}  // namespace letrador
