// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace tavik {

// A drop-down list of the main dialog, as the controller sees it: items with integer data in
// insertion order, at most one selected.
class ListControl {
  public:
    virtual ~ListControl() = default;
    // Adds an item at the end; its index, or a negative value when the list refuses it.
    virtual int addItem(std::string_view text, int data) = 0;
    virtual int itemData(int index) const = 0;
    virtual int selection() const = 0;   // -1 when nothing is selected
    virtual void select(int index) = 0;  // -1 clears the selection
    virtual void clear() = 0;
    // The index of the item whose whole text is `text`, or -1.
    virtual int find(std::string_view text) const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
};

// The main dialog's window, whatever toolkit draws it. Its log list is the send session's log.
class RemoteView {
  public:
    virtual ~RemoteView() = default;
    virtual ListControl& systemSelector() = 0;
    virtual ListControl& numberSelector() = 0;
    virtual void setCommandText(std::string_view text) = 0;
    // The command field's text: at most its first 15 characters.
    virtual std::string commandText() const = 0;
    // Ends the modal run with `result`.
    virtual void endDialog(int result) = 0;
};

}  // namespace tavik
