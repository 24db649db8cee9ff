// SPDX-License-Identifier: MIT
#include "app_icon.hpp"

#include <QApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <array>
#include <map>

// The resources live in a static library: nothing references them, so the linker would drop
// them unless they are initialised explicitly. Outside any namespace, as Qt requires.
static void initialiseResources() {
    Q_INIT_RESOURCE(tavik);
}

namespace tavik::ui {
namespace {

// Each size drawn for itself.
constexpr std::array<int, 6> kSizes = {16, 32, 48, 64, 128, 256};

// Reads an image only when a window asks for that size, and reads it as PNG straight away:
// Qt's own icon engine first asks every image plugin whether it reads the file, which loads
// them all and costs the window a good part of its start.
class AppIconEngine final : public QIconEngine {
  public:
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State /*state*/) override {
        // The smallest image that covers the size, scaled down to it; the largest one beyond.
        int side = kSizes.back();
        for (const int s : kSizes) {
            if (s >= size.width() && s >= size.height()) {
                side = s;
                break;
            }
        }
        QPixmap image = decoded(side);
        const QSize wanted = size.boundedTo(image.size());
        if (image.size() != wanted) {
            image = image.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        if (mode != QIcon::Normal && QApplication::style() != nullptr) {
            const QStyleOption option;
            image = QApplication::style()->generatedIconPixmap(mode, image, &option);
        }
        return image;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal scale =
            painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1;
        painter->drawPixmap(rect, pixmap((QSizeF(rect.size()) * scale).toSize(), mode, state));
    }

    QSize actualSize(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
        return size.boundedTo(QSize(kSizes.back(), kSizes.back()));
    }

    QList<QSize> availableSizes(QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
        QList<QSize> sizes;
        for (const int s : kSizes) {
            sizes.append(QSize(s, s));
        }
        return sizes;
    }

    QIconEngine* clone() const override { return new AppIconEngine(*this); }
    QString key() const override { return QStringLiteral("tavik"); }

  private:
    const QPixmap& decoded(int side) {
        auto [at, added] = m_decoded.try_emplace(side);
        if (added) {
            QImageReader reader(QStringLiteral(":/icons/tavik-%1.png").arg(side), "png");
            reader.setAutoDetectImageFormat(false);
            at->second = QPixmap::fromImage(reader.read());
        }
        return at->second;
    }

    std::map<int, QPixmap> m_decoded;
};

}  // namespace

QIcon appIcon() {
    initialiseResources();
    return QIcon(new AppIconEngine);
}

}  // namespace tavik::ui
