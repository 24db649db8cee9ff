// SPDX-License-Identifier: MIT
#include "phone_remote_dialog.hpp"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "qr_code.hpp"
#include "qr_code_view.hpp"
#include "window_states.hpp"

namespace tavik::ui {

PhoneRemoteDialog::PhoneRemoteDialog(QWidget* parent, const std::vector<std::string>& urls,
                                     const std::string& portNote, std::function<void()> stopServing,
                                     std::function<void(bool everySystem)> openToEverySystem)
    : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("スマホで操作"));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    closeWhenMinimised(*this);  // closing only hides it; serving goes on
    yieldSizeWhenMaximised(*this);

    auto* hint = new QLabel(
        QStringLiteral("同じ Wi-Fi につないだスマホのカメラで読み取ってください。"), this);
    layout->addWidget(hint);
    const std::string first = urls.empty() ? std::string() : urls.front();
    auto* code = new QrCodeView(phone::qrMatrix(first), this);
    // The image's text alternative: what it encodes.
    code->setAccessibleName(QStringLiteral("接続用リンクの QR コード"));
    code->setAccessibleDescription(QString::fromStdString(first));
    layout->addWidget(code, 0, Qt::AlignHCenter);

    QStringList lines;
    for (const std::string& url : urls) {
        lines << QString::fromStdString(url);
    }
    auto* links = new QLabel(lines.join(QLatin1Char('\n')), this);
    links->setObjectName(QStringLiteral("links"));
    links->setAccessibleDescription(QStringLiteral("接続用リンク"));
    links->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(links);
    if (!portNote.empty()) {
        auto* note = new QLabel(QString::fromStdString(portNote), this);
        note->setObjectName(QStringLiteral("portNote"));
        layout->addWidget(note);
    }
    layout->addWidget(new QLabel(
        QStringLiteral("リンクを知っている人は誰でも送信できます。閉じても受付は続きます。"),
        this));

    m_system = new QLabel(this);
    m_system->setObjectName(QStringLiteral("phoneSystem"));
    layout->addWidget(m_system);
    m_everySystem = new QCheckBox(QStringLiteral("どのシステムにも送れるようにする(&A)"), this);
    m_everySystem->setObjectName(QStringLiteral("everySystem"));
    connect(m_everySystem, &QCheckBox::toggled, this,
            [open = std::move(openToEverySystem)](bool on) { open(on); });
    layout->addWidget(m_everySystem);

    auto* stop = new QPushButton(QStringLiteral("受付を終了(&S)"), this);
    stop->setObjectName(QStringLiteral("stopServing"));
    stop->setAutoDefault(false);
    stop->setAccessibleDescription(QStringLiteral("すべてのスマホからの操作を止めます"));
    connect(stop, &QPushButton::clicked, this,
            [stopServing = std::move(stopServing)] { stopServing(); });
    layout->addWidget(stop, 0, Qt::AlignRight);
    // Some platform themes (GNOME's) let Return press the focused button.
    for (QWidget* button : std::initializer_list<QWidget*>{m_everySystem, stop}) {
        button->installEventFilter(this);
    }
}

void PhoneRemoteDialog::setSystemText(const QString& system, bool everySystem) {
    m_system->setText(
        everySystem
            ? QStringLiteral("スマホからはどのシステムにも送れます。")
            : QStringLiteral("スマホからはこの画面で選んでいる %1 に送ります。").arg(system));
    const QSignalBlocker quiet(m_everySystem);
    m_everySystem->setChecked(everySystem);
}

void PhoneRemoteDialog::placeBeside(const QWidget& window) {
    adjustSize();
    const QRect main = window.frameGeometry();
    const QScreen* screen = window.screen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : QRect();
    const int gap = 8;
    QPoint at(main.right() + gap, main.top());
    if (room.isValid() && at.x() + frameGeometry().width() > room.right() &&
        main.left() - gap - frameGeometry().width() >= room.left()) {
        at.setX(main.left() - gap - frameGeometry().width());
    }
    move(at);
}

bool PhoneRemoteDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tavik::ui
