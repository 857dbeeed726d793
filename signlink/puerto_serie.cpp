#include "signlink/puerto_serie.h"

namespace letrador {

PuertoSerie::PuertoSerie(platform::SerialLink& link, platform::EventPump& pump, LogWriter& log)
    : link_(link), pump_(pump), log_(log) {}

void PuertoSerie::connect(platform::Ticker& ticker) {
    link_.setReceiveHandler([this] { MSComm1_OnComm(); });
    ticker.setTickHandler([this] { Timer1_Timer(); });
}

bool PuertoSerie::LineaPerdida() const {
    return link_.isLost() || !link_.isOpen();
}

void PuertoSerie::NuevaGrabacion() {
    perdidaAvisada_ = false;
    detenida_ = false;
}

Int16 PuertoSerie::Intercambio(std::uint8_t codigo) {
    // Cleared before the write: a reply that comes in while the output drains is the reply.
    ByteRecibido = -1;
    // The byte in flight still gets its reply; a stop takes effect before the next one.
    if (detenida_ || ParadaPedida()) {
        detenida_ = true;
        return -1;
    }
    if (!LineaPerdida()) {
        perdidaAvisada_ = false;
        link_.writeByte(codigo);
        // A dead port never drains; the link wakes this wait when it notices.
        while (link_.bytesToWrite() != 0 && !LineaPerdida()) pump_.waitForNext();
        ContadorTicks = 0;
        // The slot is looked at before the counter, so a byte that came in with the last tick
        // still counts.
        while (ByteRecibido == -1 && ContadorTicks < TimeoutTicks && !LineaPerdida()) {
            pump_.waitForNext();
        }
    }
    if (ByteRecibido == -1 && LineaPerdida() && !perdidaAvisada_) {
        perdidaAvisada_ = true;
        log_.AgregarLog(
            "Se perdió la conexión con el puerto COM " + DecimalText(link_.port()) + ".", true);
    }
    return ByteRecibido;
}

bool PuertoSerie::EnviarComparar(std::uint8_t codigo) {
    const Int16 r = Intercambio(codigo);
    if (r == -1) {
        if (!detenida_) log_.AgregarLog("Error de Timeout.", true);
        return false;
    }
    if (r != codigo) {
        log_.AgregarLog("Error de comparación. E: " + DecimalText(codigo) + " R: " + DecimalText(r),
                        true);
        ErrorParrafo = true;
        ErrorGrabacion = true;
    }
    return true;
}

Int16 PuertoSerie::EnviarLeer(std::uint8_t codigo) {
    const Int16 r = Intercambio(codigo);
    if (r == -1 && !detenida_) log_.AgregarLog("Error de Timeout.", true);
    return r;
}

void PuertoSerie::MSComm1_OnComm() {
    // Everything waiting is read; the last byte is the one that stays.
    while (link_.bytesAvailable() != 0) {
        const int b = link_.readByte();
        if (b < 0) break;
        ByteRecibido = static_cast<Int16>(b);
    }
}

void PuertoSerie::Timer1_Timer() {
    if (ContadorTicks < kTopeTicks) {
        ++ContadorTicks;
    } else {
        ContadorTicks = 10;
    }
}

void PuertoSerie::Pausa(Int16 ticks) {
    ContadorTicks = 0;
    while (ContadorTicks < ticks && !LineaPerdida() && !ParadaPedida()) pump_.waitForNext();
}

}  // namespace letrador
