// SPDX-License-Identifier: MIT
#include "remote_dialog.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <optional>
#include <utility>

#include "about_dialog.hpp"
#include "about_menu.hpp"
#include "app_icon.hpp"
#include "command_field.hpp"
#include "control_ids.hpp"
#include "control_property.hpp"
#include "dialog_units.hpp"
#include "drop_down_list.hpp"
#include "focus_cue.hpp"
#include "log_list.hpp"
#include "log_list_view.hpp"
#include "phone_remote_dialog.hpp"
#include "window_states.hpp"

namespace tavik::ui {
namespace {

template <typename Widget>
Widget* place(Widget* widget, int id, const DialogUnits& du, int x, int y, int width, int height) {
    widget->setProperty(kControlIdProperty, id);
    widget->setGeometry(du.rect(x, y, width, height));
    return widget;
}

}  // namespace

CRemoteDlg::CRemoteDlg(HidBackend& backend, DeviceLink::Options linkOptions)
    : QDialog(nullptr), m_appIcon(appIcon()) {
    // Customised, so that window managers leave out the minimise and maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("TAVIK"));
    setFont(mainDialogFont());
    createControls();
    m_systems = ComboList(m_systemSelector);
    m_numbers = ComboList(m_numberSelector);
    m_log = std::make_unique<LogList>(m_logList);
    m_session = std::make_unique<SendSession>(backend, *m_log,
                                              SendSession::Options{std::move(linkOptions)});
    m_pipeline = std::make_unique<SendPipeline>(*m_session, m_loop);
    m_controller = std::make_unique<RemoteController>(*this, *m_session, *m_pipeline);
    m_phones = std::make_unique<phone::PhoneHosting>(*this, *m_controller, *m_session, *m_pipeline);
    // Before the About item, which the context menus show after it.
    m_phoneAction = new QAction(QStringLiteral("スマホで操作(&Q)..."), this);
    m_phoneAction->setObjectName(QStringLiteral("phoneRemoteAction"));
    connect(m_phoneAction, &QAction::triggered, this, [this] { openPhones(); });
    addAction(m_phoneAction);
}

CRemoteDlg::~CRemoteDlg() {
    // The server's threads end before the window they post to; the reader before its log.
    m_phones.reset();
    m_controller.reset();
    m_pipeline.reset();
    m_session.reset();
}

void CRemoteDlg::createControls() {
    const DialogUnits du(font());
    setFixedSize(du.size(182, 115));
    yieldSizeWhenMaximised(*this);

    // The closed part is 13 units high; open, a list takes 120 units with its closed part.
    const int listHeight = du.size(0, 120).height();
    m_systemSelector =
        place(new DropDownList(this, listHeight), ids::kSystemSelector, du, 5, 5, 67, 13);
    m_numberSelector =
        place(new DropDownList(this, listHeight), ids::kNumberSelector, du, 75, 5, 22, 13);
    m_commandField = place(new CommandField(this), ids::kCommandField, du, 100, 5, 42, 13);
    // What each control is for, to a screen reader; the selectors' values stay their items.
    m_systemSelector->setAccessibleName(QStringLiteral("システム"));
    m_numberSelector->setAccessibleName(QStringLiteral("番号"));
    m_commandField->setAccessibleName(QStringLiteral("曲番号・機能"));
    m_commandField->setAccessibleDescription(
        QStringLiteral("曲番号か機能名 (SE KU KD SP ST CL) を入れて Enter で送ります"));

    struct Button {
        const char* caption;
        int id;
        int x, y;
        bool isDefault;
        const char* name;  // spoken: the guests' word before the caption
        const char* description;
    };
    static constexpr Button kButtons[] = {
        {"SEND", ids::kSend, 145, 5, true, "SEND", "曲番号・機能を送ります"},
        {"KeyUP", ids::kKeyUp, 5, 22, false, "キー上げ KeyUP", ""},
        {"KeyDN", ids::kKeyDown, 40, 22, false, "キー下げ KeyDN", ""},
        {"Start", ids::kStart, 75, 22, false, "演奏開始 Start", ""},
        {"Stop", ids::kStop, 110, 22, false, "演奏中止 Stop", "歌っている曲を終わらせます"},
        {"Clear", ids::kClear, 145, 22, false, "取消 Clear", ""},
    };
    QWidget* previous = m_commandField;
    setTabOrder(m_systemSelector, m_numberSelector);
    setTabOrder(m_numberSelector, m_commandField);
    for (const Button& b : kButtons) {
        auto* button = place(new QPushButton(QString::fromLatin1(b.caption), this), b.id, du, b.x,
                             b.y, 32, 14);
        button->setAutoDefault(true);
        button->setAccessibleName(QString::fromUtf8(b.name));
        button->setAccessibleDescription(QString::fromUtf8(b.description));
        if (b.isDefault) {
            button->setDefault(true);
        }
        if (const std::optional<FunctionKey> key = ids::functionOfButton(b.id)) {
            connect(button, &QPushButton::clicked, this,
                    [this, k = *key] { m_controller->sendFunction(k); });
        } else {
            connect(button, &QPushButton::clicked, this, [this] { m_controller->sendField(); });
        }
        setTabOrder(previous, button);
        previous = button;
    }

    m_logList = place(new LogListView(this), ids::kLogList, du, 5, 39, 172, 71);
    m_logList->setAccessibleName(QStringLiteral("ログ"));
    m_logList->setAccessibleDescription(QStringLiteral("送信の結果。新しい行は読み上げられます"));
    // Out of the tab order, but a click lets the keys scroll it.
    m_logList->setFocusPolicy(Qt::ClickFocus);
    m_logList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_logList->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_logList->setSortingEnabled(false);

    // The same mnemonics as the Win32 window's hidden labels: a way straight to each control,
    // the log included, whatever has the focus.
    const std::pair<Qt::Key, QWidget*> mnemonics[] = {{Qt::Key_S, m_systemSelector},
                                                      {Qt::Key_N, m_numberSelector},
                                                      {Qt::Key_C, m_commandField},
                                                      {Qt::Key_L, m_logList}};
    for (const auto& [key, target] : mnemonics) {
        connect(new QShortcut(QKeyCombination(Qt::AltModifier, key), this), &QShortcut::activated,
                target, [target = target] { target->setFocus(Qt::ShortcutFocusReason); });
    }
}

int CRemoteDlg::runModal() {
    if (!initialise()) {
        return 1;
    }
    return exec();
}

bool CRemoteDlg::initialise() {
    m_aboutMenu = new AboutMenu(*this, [this] { openAbout(); });
    setWindowIcon(m_appIcon);
    const bool open = m_controller->initialise({presetLetter, presetNumber, presetCommand});
    connect(m_systemSelector, &QComboBox::currentIndexChanged, this,
            [this] { m_controller->fillNumberSelector(); });
    // After the number selector has followed the system: phones follow both.
    for (QComboBox* selector : {m_systemSelector, m_numberSelector}) {
        connect(selector, &QComboBox::currentIndexChanged, this,
                [this] { m_phones->followSelectors(); });
    }
    m_systemSelector->setFocus();
    showFocusFromTheStart(*this);
    return open;
}

void CRemoteDlg::setCommandText(std::string_view text) {
    m_commandField->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

std::string CRemoteDlg::commandText() const {
    return m_commandField->text().left(CommandField::kMaxTyped).toStdString();
}

void CRemoteDlg::endDialog(int result) {
    setResult(result);
    if (isVisible()) {
        done(result);
    }
}

void CRemoteDlg::appendLog(std::string_view line) {
    m_log->appendLog(line);
}

void CRemoteDlg::openAbout() {
    CAboutDlg box(this);
    if (m_aboutRunner) {
        m_aboutRunner(box);
    } else {
        box.exec();
    }
}

QWidget* CRemoteDlg::control(int id) const {
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->property(kControlIdProperty).toInt() == id) {
            return child;
        }
    }
    return nullptr;
}

void CRemoteDlg::showPhoneBox(const std::vector<std::string>& urls, const std::string& system,
                              const std::string& portNote) {
    if (!m_phoneDialog) {
        m_phoneDialog = new PhoneRemoteDialog(
            this, urls, portNote, [this] { stopPhones(); },
            [this](bool everySystem) { m_phones->setEverySystem(everySystem); });
        setPhoneSystem(system);
        m_phoneDialog->placeBeside(*this);
    }
    m_phoneDialog->show();
    m_phoneDialog->raise();
    m_phoneDialog->activateWindow();
}

void CRemoteDlg::setPhoneSystem(const std::string& system) {
    if (m_phoneDialog) {
        m_phoneDialog->setSystemText(QString::fromStdString(system), system.empty());
    }
}

void CRemoteDlg::closePhoneBox() {
    if (m_phoneDialog) {
        m_phoneDialog->hide();
        m_phoneDialog->deleteLater();
    }
}

void CRemoteDlg::reject() {
    if (m_phones->mayEscape()) {
        QDialog::reject();
    }
}

void CRemoteDlg::closeEvent(QCloseEvent* event) {
    stopPhones();
    m_session->shutdown();
    QDialog::closeEvent(event);
}

}  // namespace tavik::ui
