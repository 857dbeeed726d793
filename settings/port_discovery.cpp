#include "settings/port_discovery.h"

#include "settings/port_mapping.h"

namespace letrador {

bool ProbarPuerto(platform::SerialLink& link, int numero) {
    link.setPort(numero);
    if (!link.open()) return false;
    link.close();
    return true;
}

std::vector<int> EveryPortNumber() {
    std::vector<int> candidates;
    for (int numero = kFirstPort; numero <= kLastPort; ++numero) candidates.push_back(numero);
    return candidates;
}

Int16 BuscarPuertos(platform::PortSearch& search, OptionsView& options,
                    const std::function<std::string(int)>& deviceOf) {
    return ListarPuertos(search.find(EveryPortNumber()), options, deviceOf);
}

Int16 ListarPuertos(const std::vector<int>& found, OptionsView& options,
                    const std::function<std::string(int)>& deviceOf) {
    Int16 count = 0;
    for (int numero : found) {
        options.addPort(DecimalText(numero), deviceOf ? deviceOf(numero) : std::string());
        count = Add16(count, 1);
    }
    return count;
}

}  // namespace letrador
