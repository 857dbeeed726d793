// The buttons of the advanced options window, as plain functions over its controls.
#pragma once

#include <functional>
#include <string>

#include "message/numeric.h"
#include "platform/port_search.h"
#include "settings/options_view.h"

namespace letrador {

// "+" of the space width: up to 5. SpaceWidth follows the box only when the box changes.
void cmdParEspaMas_Click(OptionsView& options, Int16& spaceWidth);
// "-" of the space width: down to 1.
void cmdParEspaMenos_Click(OptionsView& options, Int16& spaceWidth);

// "Actualizar": empties the list and searches the ports again, off the caller's thread; when the
// search is over the ports found are listed, the last one is chosen and `done` hears the count.
// The two buttons stay off meanwhile.
void cmdActualizar_Click(platform::PortSearch& search, OptionsView& options,
                         const std::function<std::string(int)>& deviceOf,
                         std::function<void(Int16 found)> done = {});

}  // namespace letrador
