// The turn-display recording: the numbers 00 to 99 in one of the built-in digit styles.
#pragma once

#include <string_view>

#include "signlink/grabacion.h"

namespace letrador {

// The question asked before a turn-display recording.
inline constexpr std::string_view kTurneroTitulo = "Grabación de turnero";
inline constexpr std::string_view kTurneroPregunta =
    "Se está por hacer una grabación de turnero.\r\nDesea continuar?";

class Turnero {
  public:
    // The closing is the message recording's; `grabador` also gives the link and the view.
    explicit Turnero(Grabador& grabador) : grabador_(grabador) {}

    // Records the hundred entries on port `textoPuerto`; the result of the closing.
    bool GrabarTurnero(int estilo, std::string_view textoPuerto);
    // Records the one entry of `numero` (0 to 99), opened and closed as the hundred are, so
    // that the sign shows that number; the result of the closing.
    bool GrabarNumero(int estilo, int numero, std::string_view textoPuerto);
    // One attempt at recognition and start; true when the sign is ready.
    bool AbrirTurnero(std::string_view textoPuerto);
    // The columns of one digit; the result of the last exchange (true when the style or the
    // digit has no columns).
    bool EnviarDigito(int digito, int estilo);

  private:
    // The entry of one number: tens, a blank column, units, 0xD0 and 0xC9. False on a time-out.
    bool EnviarEntrada(int decenas, int unidades, int estilo);

    Grabador& grabador_;
};

}  // namespace letrador
