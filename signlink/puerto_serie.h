// The byte exchanges with the sign (mdlPuertoSerie) and the two handlers that feed them: the
// receive event of the serial line (MSComm1_OnComm) and the 100 ms tick (Timer1_Timer).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "message/numeric.h"
#include "platform/event_pump.h"
#include "platform/serial_link.h"
#include "signlink/recording_log.h"

namespace letrador {

// Protocol bytes.
inline constexpr std::uint8_t CodAtencion = 0xC3;
inline constexpr std::uint8_t CodAcuse = 0xC4;
inline constexpr std::uint8_t CodModelo = 0x01;
inline constexpr std::uint8_t ModeloCartel = 0x5A;
inline constexpr std::uint8_t CodGrabar = 0x02;
inline constexpr std::uint8_t CodFinal = 0xC5;
inline constexpr std::uint8_t ColumnaVacia = 0x80;
// Separates paragraphs and turn-display entries, and opens the closing sequence.
inline constexpr std::uint8_t CodSeparador = 0xC9;
inline constexpr std::uint8_t CodCierre = 0xD2;
inline constexpr std::uint8_t CodFinNumero = 0xD0;

inline constexpr Int16 kTimeoutTicksInicial = 10;
// The tick counter runs up to this and then falls back to 10, so it never wraps.
inline constexpr Int16 kTopeTicks = 10000;

class PuertoSerie {
  public:
    // The log lines of the exchanges go to `log`; waits run `pump`.
    PuertoSerie(platform::SerialLink& link, platform::EventPump& pump, LogWriter& log);
    PuertoSerie(const PuertoSerie&) = delete;
    PuertoSerie& operator=(const PuertoSerie&) = delete;

    // Hooks MSComm1_OnComm to the link's receive event and Timer1_Timer to the ticker.
    void connect(platform::Ticker& ticker);

    // Sends `codigo` and checks the echo. False only on a time-out; a different echo is logged,
    // sets both error flags and still gives true. A lost line ends it at once as a time-out.
    bool EnviarComparar(std::uint8_t codigo);
    // Sends `codigo`; the reply byte 0..255, or -1 on a time-out.
    Int16 EnviarLeer(std::uint8_t codigo);

    void MSComm1_OnComm();
    void Timer1_Timer();

    // Resets ContadorTicks and yields until it reaches `ticks`; a lost line or a stop ends it
    // at once.
    void Pausa(Int16 ticks);

    // A recording starts on this port: its loss, and its stop, are its own.
    void NuevaGrabacion();
    // When `*stop` becomes true, the next exchange sends nothing and fails without a log line,
    // and so does every one after it: the recording ends there.
    void setStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }
    // An exchange was refused because of a stop, since NuevaGrabacion.
    bool Detenida() const { return detenida_; }
    // The line was lost during this recording (its loss line is in the log).
    bool Perdida() const { return perdidaAvisada_; }

    platform::SerialLink& link() { return link_; }
    platform::EventPump& pump() { return pump_; }
    LogWriter& log() { return log_; }

    // Last byte received; -1 while nothing has come in since the current wait began.
    Int16 ByteRecibido = 0;
    // Ticks since the last reset.
    Int16 ContadorTicks = 0;
    Int16 TimeoutTicks = kTimeoutTicksInicial;
    // An echo differed in the current paragraph / in the current recording.
    bool ErrorParrafo = false;
    bool ErrorGrabacion = false;

  private:
    // Writes one byte and waits for the reply; the reply or -1.
    Int16 Intercambio(std::uint8_t codigo);
    // The device is gone, or the port was closed under us.
    bool LineaPerdida() const;
    // A stop was asked for: it is taken at the next exchange.
    bool ParadaPedida() const { return stop_ != nullptr && stop_->load(); }

    // The loss has been logged; cleared when a recording starts and by an exchange that finds
    // the line well again.
    bool perdidaAvisada_ = false;
    const std::atomic<bool>* stop_ = nullptr;
    bool detenida_ = false;

    platform::SerialLink& link_;
    platform::EventPump& pump_;
    LogWriter& log_;
};

}  // namespace letrador
