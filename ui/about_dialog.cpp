#include "about_dialog.hpp"

#include <QLabel>
#include <QPushButton>

#include "app_icon.hpp"
#include "control_ids.hpp"
#include "dialog_units.hpp"
#include "version.hpp"

namespace tavik::ui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    // Customised, so that window managers leave out the minimise and maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報 tavik"));
    setFont(aboutDialogFont());
    const DialogUnits du(font());
    setFixedSize(du.size(217, 55));

    auto* icon = new QLabel(this);
    const QRect iconArea = du.rect(11, 17, 18, 20);
    icon->setPixmap(appIcon().pixmap(32, 32));
    icon->setGeometry(iconArea.x(), iconArea.y(), 32, 32);

    auto* version =
        new QLabel(QStringLiteral("tavik Version %1").arg(QLatin1String(kVersion)), this);
    version->setObjectName(QStringLiteral("version"));
    version->setGeometry(du.rect(40, 10, 130, 10));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setProperty(kControlIdProperty, ids::kAboutOk);
    ok->setGeometry(du.rect(178, 7, 32, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tavik::ui
