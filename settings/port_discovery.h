// Finding the serial ports that open (the mdlPuertoSerie port search).
#pragma once

#include <functional>
#include <string>

#include "message/numeric.h"
#include "platform/port_search.h"
#include "platform/serial_link.h"
#include "settings/options_view.h"

namespace letrador {

// True when port `numero` could be opened and closed again. Leaves the link set to that number.
bool ProbarPuerto(platform::SerialLink& link, int numero);

// Ports 1..255, the candidates of every search.
std::vector<int> EveryPortNumber();

// Probes ports 1..255 in rising order and appends each one that opens to the list, its device
// (from `deviceOf`) as tool tip. Neither empties the list nor chooses an entry. Returns the count.
Int16 BuscarPuertos(platform::PortSearch& search, OptionsView& options,
                    const std::function<std::string(int)>& deviceOf);
// Appends the ports `found` to the list as BuscarPuertos does; the count.
Int16 ListarPuertos(const std::vector<int>& found, OptionsView& options,
                    const std::function<std::string(int)>& deviceOf);

}  // namespace letrador
