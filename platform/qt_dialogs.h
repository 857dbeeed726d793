// Message boxes drawn by Qt.
#pragma once

#include "platform/dialogs.h"

class QWidget;

namespace platform {

class QtDialogs : public Dialogs {
public:
    // Boxes are centred on `parent` when given.
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void information(const std::string& text, const std::string& title) override;
    bool question(const std::string& text, const std::string& title) override;

private:
    QWidget* parent_;
};

}  // namespace platform
