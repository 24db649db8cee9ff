// SPDX-License-Identifier: MIT
#include "phone_remote_dialog.hpp"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "minimised_dialog.hpp"
#include "qr_code.hpp"
#include "qr_code_view.hpp"

namespace tavik::ui {

PhoneRemoteDialog::PhoneRemoteDialog(QWidget* parent, const std::vector<std::string>& urls,
                                     std::function<void()> stopServing)
    : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("スマホで操作"));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    closeWhenMinimised(*this);  // closing only hides it; serving goes on

    auto* hint = new QLabel(
        QStringLiteral("同じ Wi-Fi につないだスマホのカメラで読み取ってください。"), this);
    layout->addWidget(hint);
    const std::string first = urls.empty() ? std::string() : urls.front();
    layout->addWidget(new QrCodeView(remote::qrMatrix(first), this), 0, Qt::AlignHCenter);

    QStringList lines;
    for (const std::string& url : urls) {
        lines << QString::fromStdString(url);
    }
    auto* links = new QLabel(lines.join(QLatin1Char('\n')), this);
    links->setObjectName(QStringLiteral("links"));
    links->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(links);
    layout->addWidget(new QLabel(
        QStringLiteral("リンクを知っている人は誰でも送信できます。閉じても受付は続きます。"),
        this));

    auto* stop = new QPushButton(QStringLiteral("受付を終了(&S)"), this);
    stop->setObjectName(QStringLiteral("stopServing"));
    stop->setAutoDefault(false);
    connect(stop, &QPushButton::clicked, this,
            [stopServing = std::move(stopServing)] { stopServing(); });
    layout->addWidget(stop, 0, Qt::AlignRight);
}

}  // namespace tavik::ui
