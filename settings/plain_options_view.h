// The advanced options' values without a window, for the command-line tools and logic tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "settings/options_view.h"

namespace letrador {

class PlainOptionsView : public OptionsView {
public:
    struct Port {
        std::string number;
        std::string device;
    };

    std::string spaceWidthText() const override { return spaceWidth_; }
    void setSpaceWidthText(const std::string& text) override { spaceWidth_ = text; }
    bool joinedChecked() const override { return joined_; }
    void setJoinedChecked(bool checked) override { joined_ = checked; }

    int portCount() const override { return static_cast<int>(ports_.size()); }
    void clearPorts() override {
        ports_.clear();
        chosen_ = -1;
    }
    void addPort(const std::string& number, const std::string& device) override {
        ports_.push_back({number, device});
    }
    void choosePort(int index) override {
        if (index >= 0 && index < portCount()) chosen_ = index;
    }
    std::string chosenPortText() const override {
        return chosen_ >= 0 ? ports_[static_cast<std::size_t>(chosen_)].number : std::string();
    }
    std::string portText(int index) const override {
        return index >= 0 && index < portCount() ? ports_[static_cast<std::size_t>(index)].number
                                                 : std::string();
    }
    std::string portDevice(int index) const override {
        return index >= 0 && index < portCount() ? ports_[static_cast<std::size_t>(index)].device
                                                 : std::string();
    }
    const std::vector<Port>& ports() const { return ports_; }

    void setEnabled(OptionsControl control, bool enabled) override { enabled_[control] = enabled; }
    bool isEnabled(OptionsControl control) const override {
        auto it = enabled_.find(control);
        return it == enabled_.end() || it->second;
    }

private:
    std::string spaceWidth_ = "3";
    bool joined_ = false;
    std::vector<Port> ports_;
    int chosen_ = -1;
    std::map<OptionsControl, bool> enabled_;
};

}  // namespace letrador
