#include "remote_dialog.hpp"

#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QValidator>
#include <algorithm>
#include <optional>

#include "about_dialog.hpp"
#include "app_icon.hpp"
#include "catalogue.hpp"
#include "command_line.hpp"
#include "control_ids.hpp"
#include "dialog_units.hpp"
#include "encoder.hpp"
#include "log_list.hpp"
#include "messages.hpp"
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
    widget->setProperty(ids::kProperty, id);
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
    m_log = std::make_unique<LogList>(m_logList);
    m_link = std::make_unique<DeviceLink>(backend, *m_log, std::move(linkOptions));
}

CRemoteDlg::~CRemoteDlg() {
    // The readers end before the log they write to goes away.
    m_link.reset();
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
        int id;
        const char* caption;
        int x, y;
        const char* command;  // nullptr: the command field's text
    };
    static constexpr Button kButtons[] = {
        {ids::kSend, "SEND", 145, 5, nullptr},  {ids::kKeyUp, "KeyUP", 5, 22, "KU"},
        {ids::kKeyDown, "KeyDN", 40, 22, "KD"}, {ids::kStart, "Start", 75, 22, "ST"},
        {ids::kStop, "Stop", 110, 22, "SP"},    {ids::kClear, "Clear", 145, 22, "CL"},
    };
    QWidget* previous = m_commandField;
    setTabOrder(m_systemSelector, m_numberSelector);
    setTabOrder(m_numberSelector, m_commandField);
    for (const Button& b : kButtons) {
        auto* button = place(new QPushButton(QString::fromLatin1(b.caption), this), b.id, du, b.x,
                             b.y, 32, 14);
        button->setAutoDefault(true);
        if (b.command == nullptr) {
            button->setDefault(true);
            connect(button, &QPushButton::clicked, this, [this] { sendFromField(); });
        } else {
            const std::string command = b.command;
            connect(button, &QPushButton::clicked, this, [this, command] { sendCommand(command); });
        }
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
    m_commandField->setText(presetCommand);
    installAboutItem(*this, [this] { openAbout(); });
    setWindowIcon(m_appIcon);
    m_link->initialise();
    fillSystemSelector();
    fillNumberSelector();
    applyPresetNumber();
    connect(m_systemSelector, &QComboBox::currentIndexChanged, this,
            [this] { fillNumberSelector(); });
    m_systemSelector->setFocus();

    if (!presetCommand.isEmpty()) {
        if (sendCommand(presetCommand.toStdString()) >= 0) {
            m_presetNotDelivered = m_lastTransmit != TransmitResult::kSent;
            setResult(1);
            return false;
        }
    }
    return true;
}

void CRemoteDlg::fillSystemSelector() {
    int selected = -1;
    std::optional<SystemId> wanted;
    if (!presetLetter.isEmpty() && presetLetter.front().unicode() <= 0xFF) {
        wanted = systemByLetter(static_cast<char>(presetLetter.front().unicode()));
    }
    for (const MakerEntry& row : kCatalogue) {
        if (row.systemId < 0) {
            break;
        }
        m_systemSelector->addItem(QString::fromUtf8(row.displayName.data(),
                                                    static_cast<qsizetype>(row.displayName.size())),
                                  row.systemId);
        if (wanted == row.systemId) {
            selected = m_systemSelector->count() - 1;
        }
    }
    if (presetLetter.isEmpty()) {
        selected = m_systemSelector->count() > 0 ? 0 : -1;
    } else if (selected < 0) {
        appendLog(messages::kUnknownSystem);
    }
    m_systemSelector->setCurrentIndex(selected);
}

void CRemoteDlg::fillNumberSelector() {
    const int system = currentSystemId();
    if (system < 0 || !catalogueEntry(system).hasNumbers()) {
        m_numberSelector->setEnabled(false);
        m_numberSelector->setCurrentIndex(-1);
        return;
    }
    const MakerEntry& entry = catalogueEntry(system);
    m_numberSelector->setEnabled(true);
    m_numberSelector->clear();
    for (std::int32_t n = entry.numberMin; n <= entry.numberMax; ++n) {
        m_numberSelector->addItem(QString::number(n), n);
    }
    m_numberSelector->setCurrentIndex(m_numberSelector->count() > 0 ? 0 : -1);
}

void CRemoteDlg::applyPresetNumber() {
    if (presetNumber.isEmpty()) {
        return;
    }
    const int index =
        m_numberSelector->isEnabled()
            ? m_numberSelector->findText(presetNumber, Qt::MatchExactly | Qt::MatchCaseSensitive)
            : -1;
    if (index < 0) {
        appendLog(messages::kUnknownNumber);
    }
    m_numberSelector->setCurrentIndex(index);
}

int CRemoteDlg::currentSystemId() const {
    const int index = m_systemSelector->currentIndex();
    return index < 0 ? -1 : m_systemSelector->itemData(index).toInt();
}

int CRemoteDlg::currentSystemNumber() const {
    const int index = m_numberSelector->currentIndex();
    if (!m_numberSelector->isEnabled() || index < 0) {
        return -1;
    }
    return m_numberSelector->itemData(index).toInt();
}

int CRemoteDlg::sendCommand(const std::string& text) {
    const int system = currentSystemId();
    if (system < 0) {
        // Only after a preset letter that matched nothing: there is no system to encode for.
        appendLog(messages::kUnknownSystem);
        return -1;
    }
    const int number = currentSystemNumber();
    const std::int32_t count = encodeCommand(m_packet, system, number, text.c_str());
    if (count < 1) {
        appendLog(messages::kEncodingFailed);
        return -1;
    }
    m_lastTransmit = m_link->transmitPacket(m_packet, count);
    appendLog(sendLogLine(system, number, text));
    return count;
}

void CRemoteDlg::sendFromField() {
    sendCommand(m_commandField->text().left(kCommandFieldLimit).toStdString());
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
        if (child->property(ids::kProperty).toInt() == id) {
            return child;
        }
    }
    return nullptr;
}

void CRemoteDlg::closeEvent(QCloseEvent* event) {
    m_link->shutdownLink();
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
