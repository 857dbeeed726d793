// The editing controls' state without a window: what the command-line tools and the logic
// tests drive. Changing one of the three boxes marks the message as modified, as the window's
// change handlers do.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "message/editor_view.h"
#include "message/paragraph_store.h"

namespace letrador {

class PlainEditorView : public EditorView {
public:
    explicit PlainEditorView(ParagraphStore& store) : store_(store) {}

    std::u32string messageText() const override { return text_; }
    void setMessageText(const std::u32string& text) override { change(text_, text); }
    std::u32string selectedMessageText() const override {
        if (selStart_ >= text_.size()) return {};
        return text_.substr(selStart_, selLength_);
    }
    void select(std::size_t start, std::size_t length) {
        selStart_ = start;
        selLength_ = length;
    }

    std::string fontFileText() const override { return font_; }
    void setFontFileText(const std::string& text) override { change(font_, text); }
    std::string separationText() const override { return separation_; }
    void setSeparationText(const std::string& text) override { change(separation_, text); }
    bool ignoreChecked() const override { return ignore_; }
    void setIgnoreChecked(bool checked) override { ignore_ = checked; }
    std::string messageName() const override { return name_; }
    void setMessageName(const std::string& text) override { name_ = text; }

    int paragraphItemCount() const override { return static_cast<int>(items_.size()); }
    void addParagraphItem(const std::string& text) override { items_.push_back(text); }
    void removeFirstParagraphItem() override {
        if (items_.empty()) return;
        items_.erase(items_.begin());
        current_ = items_.empty() ? -1 : 0;
    }
    void setCurrentParagraphIndex(int index) override {
        if (index >= 0 && index < paragraphItemCount()) current_ = index;
    }
    std::string currentParagraphText() const override {
        return current_ >= 0 && current_ < paragraphItemCount() ? items_[current_] : std::string();
    }
    const std::vector<std::string>& paragraphItems() const { return items_; }

    void setCapacityLabel(const std::string& text, bool exceeded) override {
        capacity_ = text;
        capacityExceeded_ = exceeded;
    }
    std::string capacityLabel() const override { return capacity_; }
    bool capacityLabelIsRedBold() const { return capacityExceeded_; }

    void setEnabled(EditorControl control, bool enabled) override { enabled_[control] = enabled; }
    bool isEnabled(EditorControl control) const override {
        auto it = enabled_.find(control);
        return it == enabled_.end() || it->second;
    }
    void setFocus(EditorControl control) override { focus_ = control; }
    EditorControl focused() const { return focus_; }

private:
    template <typename T>
    void change(T& field, const T& value) {
        if (field == value) return;
        field = value;
        store_.MessageModified = true;
    }

    ParagraphStore& store_;
    std::u32string text_;
    std::size_t selStart_ = 0, selLength_ = 0;
    std::string font_, separation_ = "1", name_;
    bool ignore_ = false;
    std::vector<std::string> items_;
    int current_ = -1;
    std::string capacity_ = "Capacidad ocupada: 0%";
    bool capacityExceeded_ = false;
    std::map<EditorControl, bool> enabled_;
    EditorControl focus_ = EditorControl::cmdParNuevo;
};

}  // namespace letrador
