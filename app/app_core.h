// The program's start-up without its windows, the one object that the window, letrador-cli and
// the service each build once: the working folder, what each port number leads to, the port
// search, and the recording engine with a thread of its own for every sign.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "message/numeric.h"
#include "message/paragraph_store.h"
#include "platform/link_thread.h"
#include "platform/port_search.h"
#include "settings/options_view.h"
#include "signlink/recording_engine.h"

namespace letrador {

// The paragraph store's start-up values, and the font and message folders of `workFolder`,
// made when missing.
void PrepareStore(ParagraphStore& store, const std::filesystem::path& workFolder);

class AppCore {
  public:
    // `workFolder` is the working folder found at start (FindWorkFolder) or given.
    explicit AppCore(std::filesystem::path workFolder);
    ~AppCore();
    AppCore(const AppCore&) = delete;
    AppCore& operator=(const AppCore&) = delete;

    const std::filesystem::path& workFolder() const { return workFolder_; }
    // The device path or network address of a port number, "" when it has none.
    const std::function<std::string(int)>& deviceOf() const { return deviceOf_; }
    platform::PortSearch& portSearch() { return *portSearch_; }
    const platform::LinkThreadMaker& threads() const { return threads_; }
    RecordingEngine& engine() { return *engine_; }

    // The store's start-up values and the working folder's font and message folders.
    void setFolders(ParagraphStore& store) const { PrepareStore(store, workFolder_); }
    // The start-up's port search: every port that opens now goes into `options` with its device,
    // and the last one is chosen. The count; 0 when there is none.
    Int16 loadPorts(OptionsView& options);

  private:
    std::filesystem::path workFolder_;
    std::function<std::string(int)> deviceOf_;
    std::unique_ptr<platform::PortSearch> portSearch_;
    platform::LinkThreadMaker threads_;
    std::unique_ptr<RecordingEngine> engine_;
};

}  // namespace letrador
