// SPDX-License-Identifier: MIT
#include "dialog_units.hpp"

#include <QFontMetrics>
#include <QStringList>

namespace tavik::ui {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width the way Windows measures it: the 52 Latin letters, rounded.
    static const QString kLetters =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    m_baseWidth = (metrics.horizontalAdvance(kLetters) / 26 + 1) / 2;
    m_baseHeight = metrics.height();
}

QRect DialogUnits::rect(int x, int y, int width, int height) const {
    return {toX(x), toY(y), toX(width), toY(height)};
}

QSize DialogUnits::size(int width, int height) const {
    return {toX(width), toY(height)};
}

namespace {

QFont japaneseFont(const QString& windowsFace, int points) {
    QFont font;
    font.setFamilies({windowsFace, QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("Noto Sans JP"), QStringLiteral("IPAGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("VL Gothic"),
                      QStringLiteral("TakaoGothic"), QStringLiteral("Hiragino Sans")});
    font.setPointSize(points);
    return font;
}

}  // namespace

QFont mainDialogFont() {
    return japaneseFont(QStringLiteral("MS UI Gothic"), 10);
}

QFont aboutDialogFont() {
    return japaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 9);
}

}  // namespace tavik::ui
