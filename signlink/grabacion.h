// The recording of a message (mdlParrafos recording side): opening with recognition and start,
// sending a paragraph as effect codes and font columns, and closing with the verdict.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "message/font_file.h"
#include "message/numeric.h"
#include "signlink/puerto_serie.h"
#include "signlink/recording_job.h"
#include "signlink/recording_log.h"

namespace letrador {

inline constexpr Int16 kMaxReintentos = 3;
// Ticks of the pauses around the handshakes.
inline constexpr Int16 kPausaApertura = 5;

// The last line of a recording the operator stopped, in place of "Grabación finalizada.".
inline constexpr std::string_view kLineaDetenida = "Grabación detenida por el operador.";

// The wire bytes of an effect character: one byte, two for "A"; 0x00 for a character that is
// not an effect.
struct CodigoEfecto {
    std::uint8_t primero = 0x00;
    std::uint8_t segundo = 0x00;
    bool tieneSegundo = false;
};
CodigoEfecto CodigoDeEfecto(char32_t caracter);

// The port number of a port list entry: its numeric value, rounded.
Int16 NumeroDePuerto(std::string_view textoPuerto);

class Grabador {
  public:
    Grabador(PuertoSerie& puerto, RecordingView& view);

    // Prepares the window, opens port `textoPuerto` (the chosen entry of the port list) and makes
    // the recognition and start handshakes. True when the sign is ready for the text. A port that
    // does not open is logged and gives false.
    bool AbrirGrabacion(std::string_view textoPuerto);

    // Sends a paragraph's text; true when the last exchange got a reply, false when a time-out
    // ended it. The font file is read once for the whole text.
    bool GrabarParrafo(std::u32string_view texto, const std::string& archivoFuente,
                       Int16 separacion, Int16 spaceWidth);

    // The bytes of one effect character; the result of the last exchange.
    bool EnviarEfecto(char32_t caracter);

    // One character's columns and its separation. A character missing from the font, or with all
    // its columns dark, sends nothing; so does one with a column outside 0..255, which is logged.
    bool EnviarCaracter(char32_t caracter, const std::string& archivoFuente, Int16 separacion);
    bool EnviarCaracter(char32_t caracter, const FontData& fuente, Int16 separacion);

    // One column byte, a 0 sent as a blank column.
    bool EnviarColumna(std::uint8_t valor);

    // Sends the closing sequence when `correcto`, closes the port and writes the verdict. True
    // when the sign acknowledged the end.
    bool CerrarGrabacion(bool correcto);
    // How the last closed recording ended; its log's verdict line is made from it.
    Verdict verdict() const { return verdict_; }

    // Opens `textoPuerto`: the first log line, the label and the port. Shared with the turn
    // display, whose opening begins alike.
    bool PrepararYAbrirPuerto(std::string_view textoPuerto, std::string_view lineaTrasPuerto);
    // The recording was stopped: nothing more is sent and no error line is written for it.
    bool Detenida() const { return puerto_.Detenida(); }

    PuertoSerie& puerto() { return puerto_; }
    RecordingView& view() { return view_; }

    Int16 MaxReintentos = kMaxReintentos;

  private:
    enum class Envio { Enviado, SinRespuesta, Rechazado };
    Envio EnviarGlifo(char32_t caracter, const FontData& fuente, Int16 separacion);
    void LineaReintento(Int16 n);

    PuertoSerie& puerto_;
    RecordingView& view_;
    bool puertoNoAbrio_ = false;
    Verdict verdict_ = Verdict::Errors;
};

// "Error: caracter 5 (x) no se grabó correctamente." and the tag form "(efecto 3)".
std::string LineaErrorCaracter(long long posicion, char32_t caracter);
std::string LineaErrorEfecto(long long posicion, char32_t efecto);

}  // namespace letrador
