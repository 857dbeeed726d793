#include "settings/port_discovery.h"

#include "settings/port_mapping.h"

namespace letrador {

bool ProbarPuerto(platform::SerialLink& link, int numero) {
    link.setPort(numero);
    if (!link.open()) return false;
    link.close();
    return true;
}

Int16 BuscarPuertos(platform::SerialLink& link, OptionsView& options,
                    const std::function<std::string(int)>& deviceOf) {
    Int16 count = 0;
    std::vector<int> candidates;
    for (int numero = kFirstPort; numero <= kLastPort; ++numero) candidates.push_back(numero);
    for (int numero : link.probePorts(candidates)) {
        options.addPort(DecimalText(numero), deviceOf ? deviceOf(numero) : std::string());
        count = Add16(count, 1);
    }
    return count;
}

}  // namespace letrador
