// Message boxes drawn by Qt, and Qt's own texts in Spanish.
#pragma once

#include <memory>

#include "platform/dialogs.h"

class QTranslator;
class QWidget;

namespace platform {

class QtDialogs : public Dialogs {
public:
    // `parent` is the main window. A box belongs to the window in use: the main window while
    // it is enabled, otherwise the secondary window the operator is working in (the chooser,
    // the options window), which gets the keyboard back after the answer.
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void information(const std::string& text, const std::string& title) override;
    bool question(const std::string& text, const std::string& title) override;
    int choose(const std::string& text, const std::string& title,
               const std::vector<std::string>& buttons) override;

private:
    QWidget* owner() const;

    QWidget* parent_;
};

// While it lives, Qt's standard texts (the OK button, the editors' context menu) are Spanish,
// from Qt's own translation as the system installs it. Made after the application object.
class SpanishQtTexts {
public:
    SpanishQtTexts();
    ~SpanishQtTexts();
    SpanishQtTexts(const SpanishQtTexts&) = delete;
    SpanishQtTexts& operator=(const SpanishQtTexts&) = delete;

    // False when the translation is not installed; the texts then stay in English.
    bool loaded() const { return loaded_; }

private:
    std::unique_ptr<QTranslator> translator_;
    bool loaded_ = false;
};

}  // namespace platform
