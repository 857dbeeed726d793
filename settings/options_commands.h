// The buttons of the advanced options window, as plain functions over its controls.
#pragma once

#include <functional>
#include <string>

#include "message/numeric.h"
#include "platform/serial_link.h"
#include "settings/options_view.h"

namespace letrador {

// "+" of the space width: up to 5. SpaceWidth follows the box only when the box changes.
void cmdParEspaMas_Click(OptionsView& options, Int16& spaceWidth);
// "-" of the space width: down to 1.
void cmdParEspaMenos_Click(OptionsView& options, Int16& spaceWidth);

// "Actualizar": searches the ports again; the last one found is chosen. Returns the count.
Int16 cmdActualizar_Click(platform::SerialLink& link, OptionsView& options,
                          const std::function<std::string(int)>& deviceOf);

}  // namespace letrador
