#include "settings/options_commands.h"

#include "settings/port_discovery.h"

namespace letrador {

void cmdParEspaMas_Click(OptionsView& options, Int16& spaceWidth) {
    double v = NumericValue(options.spaceWidthText());
    if (v < 5) {
        options.setSpaceWidthText(DecimalNumberText(v + 1));
        spaceWidth = WholeValue(options.spaceWidthText());
    }
}

void cmdParEspaMenos_Click(OptionsView& options, Int16& spaceWidth) {
    double v = NumericValue(options.spaceWidthText());
    if (v > 1) {
        options.setSpaceWidthText(DecimalNumberText(v - 1));
        spaceWidth = WholeValue(options.spaceWidthText());
    }
}

void cmdActualizar_Click(platform::PortSearch& search, OptionsView& options,
                         const std::function<std::string(int)>& deviceOf,
                         std::function<void(Int16 found)> done) {
    options.setEnabled(OptionsControl::cmdActualizar, false);
    options.setEnabled(OptionsControl::cmdCerrar, false);
    options.clearPorts();
    search.findLater(EveryPortNumber(), [&options, deviceOf, done](std::vector<int> ports) {
        const Int16 found = ListarPuertos(ports, options, deviceOf);
        if (found > 0) {
            options.choosePort(options.portCount() - 1);
            options.setEnabled(OptionsControl::cmdCerrar, true);
        }
        options.setEnabled(OptionsControl::cmdActualizar, true);
        if (done) done(found);
    });
}

}  // namespace letrador
