#include "remote_dialog.hpp"

#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QValidator>
#include <algorithm>

#include "about_dialog.hpp"
#include "app_icon.hpp"
#include "control_ids.hpp"
#include "dialog_units.hpp"
#include "log_list.hpp"
#include "system_menu.hpp"

namespace tavik::ui {
namespace {

constexpr int kCommandFieldLimit = 15;

// The command field does not scroll: typing stops at 15 characters or when the text fills the
// visible width, whichever comes first. Text set by the program is not limited.
class FittingTextValidator : public QValidator {
  public:
    explicit FittingTextValidator(QLineEdit* field) : QValidator(field), m_field(field) {}

    State validate(QString& input, int&) const override {
        const QMargins margins = m_field->textMargins();
        const int room = m_field->contentsRect().width() - margins.left() - margins.right() - 4;
        if (input.size() > kCommandFieldLimit ||
            m_field->fontMetrics().horizontalAdvance(input) > room) {
            return Invalid;
        }
        return Acceptable;
    }

  private:
    QLineEdit* m_field;
};

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
    // The reader tells of a lost connection on its own thread; its remains are closed here.
    linkOptions.onLost = [this] {
        QMetaObject::invokeMethod(
            this, [this] { m_session->releaseLostConnection(); }, Qt::QueuedConnection);
    };
    m_session = std::make_unique<SendSession>(backend, *m_log,
                                              SendSession::Options{std::move(linkOptions)});
    m_controller = std::make_unique<RemoteController>(*this, *m_session);
}

CRemoteDlg::~CRemoteDlg() {
    // The reader ends before the log it writes to goes away.
    m_session.reset();
}

void CRemoteDlg::createControls() {
    const DialogUnits du(font());
    setFixedSize(du.size(182, 115));

    // Only the closed height shows here; the drop-down list gets the rest of the 120 units.
    m_systemSelector = place(new QComboBox(this), ids::kSystemSelector, du, 5, 5, 67, 13);
    m_numberSelector = place(new QComboBox(this), ids::kNumberSelector, du, 75, 5, 22, 13);
    const int itemHeight = QFontMetrics(font()).height() + 2;
    const int visibleItems = std::max(1, du.size(0, 120 - 13).height() / itemHeight);
    for (QComboBox* selector : {m_systemSelector, m_numberSelector}) {
        selector->setEditable(false);
        selector->setMaxVisibleItems(visibleItems);
        selector->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }

    m_commandField = place(new QLineEdit(this), ids::kCommandField, du, 100, 5, 42, 13);
    m_commandField->setValidator(new FittingTextValidator(m_commandField));

    struct Button {
        const char* caption;
        int id;
        int x, y;
        bool isDefault;
    };
    static constexpr Button kButtons[] = {
        {"SEND", ids::kSend, 145, 5, true},      {"KeyUP", ids::kKeyUp, 5, 22, false},
        {"KeyDN", ids::kKeyDown, 40, 22, false}, {"Start", ids::kStart, 75, 22, false},
        {"Stop", ids::kStop, 110, 22, false},    {"Clear", ids::kClear, 145, 22, false},
    };
    QWidget* previous = m_commandField;
    setTabOrder(m_systemSelector, m_numberSelector);
    setTabOrder(m_numberSelector, m_commandField);
    for (const Button& b : kButtons) {
        auto* button = place(new QPushButton(QString::fromLatin1(b.caption), this), b.id, du, b.x,
                             b.y, 32, 14);
        button->setAutoDefault(true);
        if (b.isDefault) {
            button->setDefault(true);
        }
        const int id = b.id;
        connect(button, &QPushButton::clicked, this,
                [this, id] { m_controller->buttonClicked(id); });
        setTabOrder(previous, button);
        previous = button;
    }

    m_logList = place(new QListWidget(this), ids::kLogList, du, 5, 39, 172, 71);
    m_logList->setFocusPolicy(Qt::NoFocus);
    m_logList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_logList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_logList->setSortingEnabled(false);
}

int CRemoteDlg::runModal() {
    if (!initialise()) {
        return 1;
    }
    return exec();
}

bool CRemoteDlg::initialise() {
    installAboutItem(*this, [this] { openAbout(); });
    setWindowIcon(m_appIcon);
    const bool open = m_controller->initialise({presetLetter, presetNumber, presetCommand});
    connect(m_systemSelector, &QComboBox::currentIndexChanged, this,
            [this] { m_controller->fillNumberSelector(); });
    m_systemSelector->setFocus();
    return open;
}

void CRemoteDlg::setCommandText(std::string_view text) {
    m_commandField->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

std::string CRemoteDlg::commandText() const {
    return m_commandField->text().left(kCommandFieldLimit).toStdString();
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

void CRemoteDlg::closeEvent(QCloseEvent* event) {
    m_session->shutdown();
    QDialog::closeEvent(event);
}

bool CRemoteDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (isAboutCommand(eventType, message)) {
        openAbout();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

}  // namespace tavik::ui
