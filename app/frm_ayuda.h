// The help page in a window of our own, for a machine where no browser opens it.
#pragma once

#include <QWidget>
#include <string>

class QTextBrowser;

namespace letrador {

class frmAyuda : public QWidget {
public:
    explicit frmAyuda(QWidget* parent = nullptr);

    // Shows the page at `path` (links inside it are followed here too) and brings the window up.
    void showPage(const std::string& path);

private:
    QTextBrowser* txtAyuda_;
};

}  // namespace letrador
