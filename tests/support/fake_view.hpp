// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "remote_view.hpp"

namespace tavik::test {

// The main dialog's selectors and field without a toolkit, for the controller's tests.
class FakeList : public ListControl {
  public:
    int addItem(std::string_view text, int data) override {
        items.emplace_back(std::string(text), data);
        return static_cast<int>(items.size()) - 1;
    }
    int itemData(int index) const override {
        return index < 0 ? -1 : items[static_cast<std::size_t>(index)].second;
    }
    int selection() const override { return selected; }
    void select(int index) override { selected = index; }
    void clear() override {
        items.clear();
        selected = -1;
    }
    int find(std::string_view text) const override {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].first == text) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    void setEnabled(bool on) override { enabled = on; }
    bool isEnabled() const override { return enabled; }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& item : items) {
            out.push_back(item.first);
        }
        return out;
    }

    std::vector<std::pair<std::string, int>> items;
    int selected = -1;
    bool enabled = true;
};

class FakeView : public RemoteView {
  public:
    ListControl& systemSelector() override { return systems; }
    ListControl& numberSelector() override { return numbers; }
    void setCommandText(std::string_view text) override { field = std::string(text); }
    std::string commandText() const override { return field.substr(0, 15); }
    void endDialog(int result) override { ended = result; }

    FakeList systems;
    FakeList numbers;
    std::string field;
    int ended = -1;
};

}  // namespace tavik::test
