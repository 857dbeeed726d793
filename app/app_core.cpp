#include "app/app_core.h"

#include "platform/qt_link_thread.h"
#include "platform/qt_port_search.h"
#include "settings/port_discovery.h"
#include "settings/port_mapping.h"

namespace letrador {

AppCore::AppCore(std::filesystem::path workFolder)
    : workFolder_(std::move(workFolder)),
      deviceOf_([folder = workFolder_](int n) { return PortDevicePath(folder, n); }),
      portSearch_(std::make_unique<platform::QtPortSearch>(deviceOf_)),
      threads_(platform::QtLinkThread::maker(deviceOf_)),
      engine_(std::make_unique<RecordingEngine>(threads_)) {}

AppCore::~AppCore() = default;

void PrepareStore(ParagraphStore& store, const std::filesystem::path& workFolder) {
    store = ParagraphStore{};
    for (const char* folder : {"tipografias", "mensajes"}) {
        std::error_code ec;
        std::filesystem::create_directories(workFolder / folder, ec);
    }
    store.FontFolder = (workFolder / "tipografias").string();
    store.MessageFolder = (workFolder / "mensajes").string();
}

Int16 AppCore::loadPorts(OptionsView& options) {
    const Int16 found = BuscarPuertos(*portSearch_, options, deviceOf_);
    if (found > 0) options.choosePort(options.portCount() - 1);
    return found;
}

}  // namespace letrador
