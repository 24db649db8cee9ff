// SPDX-License-Identifier: MIT
#include "about_dialog.hpp"

#include <QLabel>
#include <QPushButton>

#include "app_icon.hpp"
#include "control_ids.hpp"
#include "control_property.hpp"
#include "dialog_units.hpp"
#include "version.hpp"
#include "window_states.hpp"

namespace tavik::ui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    // Customised, so that window managers leave out the minimise and maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報 tavik"));
    setFont(aboutDialogFont());
    const DialogUnits du(font());
    setFixedSize(du.size(217, 55));
    closeWhenMinimised(*this);
    yieldSizeWhenMaximised(*this);

    // The icon at its place, sized to the icon; the name and version beside it, on its middle.
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setAccessibleName(QStringLiteral("tavik のアイコン"));
    const QRect iconArea = du.rect(11, 17, 18, 20);
    // At the screen's scale, from the image of that size: not the 32 px one scaled up.
    icon->setPixmap(appIcon().pixmap(QSize(32, 32), devicePixelRatioF()));
    icon->setGeometry(iconArea.x(), iconArea.y(), 32, 32);

    auto* version =
        new QLabel(QStringLiteral("tavik Version %1").arg(QLatin1String(kVersion)), this);
    version->setObjectName(QStringLiteral("version"));
    const int textLeft = iconArea.x() + 32 + du.size(8, 0).width();
    const int textRight = du.rect(178, 7, 32, 14).left() - du.size(6, 0).width();
    version->setGeometry(textLeft, iconArea.y(), textRight - textLeft, 32);
    version->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setProperty(kControlIdProperty, ids::kAboutOk);
    ok->setGeometry(du.rect(178, 7, 32, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tavik::ui
