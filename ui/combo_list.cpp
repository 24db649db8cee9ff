// SPDX-License-Identifier: MIT
#include "combo_list.hpp"

#include <QComboBox>

namespace tavik::ui {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

int ComboList::addItem(std::string_view text, int data) {
    m_box->addItem(fromUtf8(text), data);
    return m_box->count() - 1;
}

int ComboList::itemData(int index) const {
    return index < 0 ? -1 : m_box->itemData(index).toInt();
}

int ComboList::selection() const {
    return m_box->currentIndex();
}

void ComboList::select(int index) {
    m_box->setCurrentIndex(index);
}

void ComboList::clear() {
    m_box->clear();
}

int ComboList::find(std::string_view text) const {
    return m_box->findText(fromUtf8(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void ComboList::setEnabled(bool enabled) {
    m_box->setEnabled(enabled);
}

bool ComboList::isEnabled() const {
    return m_box->isEnabled();
}

}  // namespace tavik::ui
