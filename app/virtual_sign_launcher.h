// Starts the virtual sign beside the program and maps it as a port of the working folder.
#pragma once

#include <QProcess>
#include <QString>
#include <filesystem>

namespace letrador {

class VirtualSignLauncher {
public:
    ~VirtualSignLauncher();

    // Starts cartel-virtual (found beside the program, in the build tree or on PATH) with its
    // pseudo-terminal linked as puertos/COM<port> of `workFolder`, and waits until the link is
    // there. False, with `problem` filled, when it could not be started.
    bool start(const std::filesystem::path& workFolder, int port, const QStringList& extraArgs,
               QString* problem);

private:
    QProcess process_;
};

}  // namespace letrador
