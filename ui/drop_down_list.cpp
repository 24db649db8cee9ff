// SPDX-License-Identifier: MIT
#include "drop_down_list.hpp"

#include <QAbstractItemView>
#include <QProxyStyle>
#include <QStyleFactory>
#include <algorithm>

#include "accessible_factory.hpp"
#include "selector_accessible.hpp"

namespace tavik::ui {
namespace {

// The platform's style, except that the list opens as a scrolling list below the field instead
// of a menu of every item around the current one.
class ListPopupStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ComboBox_Popup) {
            return 0;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

DropDownList::DropDownList(QWidget* parent, int totalHeight)
    : QComboBox(parent), m_totalHeight(totalHeight) {
    auto* popupStyle = new ListPopupStyle(QStyleFactory::create(style()->name()));
    popupStyle->setParent(this);
    setStyle(popupStyle);
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    installAccessibleFactory();
    connect(this, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        SelectorAccessible::announceItem(this, m_shownText);
        m_shownText = text;
    });
}

void DropDownList::showPopup() {
    // The rows' height is known only once the list holds items in this font and style.
    const int room = m_totalHeight - height();
    const int row = std::max(1, view()->sizeHintForRow(0));
    setMaxVisibleItems(std::max(1, room / row));
    QComboBox::showPopup();

    // The popup's frame comes on top of its rows: trim what is still too tall, keeping the edge
    // next to the field where it is.
    QWidget* popup = view()->window();
    if (popup == this || popup->height() <= room) {
        return;
    }
    const QRect field(mapToGlobal(QPoint(0, 0)), size());
    QRect frame = popup->geometry();
    if (frame.top() >= field.center().y()) {
        frame.setHeight(room);
    } else {
        frame.setTop(frame.bottom() - room + 1);
    }
    popup->setGeometry(frame);
}

}  // namespace tavik::ui
