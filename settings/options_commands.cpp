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

Int16 cmdActualizar_Click(platform::SerialLink& link, OptionsView& options,
                          const std::function<std::string(int)>& deviceOf) {
    options.setEnabled(OptionsControl::cmdActualizar, false);
    options.setEnabled(OptionsControl::cmdCerrar, false);
    options.clearPorts();
    Int16 found = BuscarPuertos(link, options, deviceOf);
    if (found > 0) {
        options.choosePort(options.portCount() - 1);
        options.setEnabled(OptionsControl::cmdCerrar, true);
    }
    options.setEnabled(OptionsControl::cmdActualizar, true);
    return found;
}

}  // namespace letrador
