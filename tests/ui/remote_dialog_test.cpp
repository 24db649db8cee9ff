// SPDX-License-Identifier: MIT
#include "remote_dialog.hpp"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QtMath>
#include <algorithm>
#include <atomic>
#include <thread>

#include "about_dialog.hpp"
#include "app_icon.hpp"
#include "command_field.hpp"
#include "control_ids.hpp"
#include "control_property.hpp"
#include "dialog_units.hpp"
#include "phone_messages.hpp"
#include "process_end.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/http_client.hpp"
#include "support/process.hpp"
#include "toolkit_translation.hpp"

namespace tavik::ui {
namespace {

using test::FakeHidBackend;

const char* const kNotFound = "デバイスが見付かりません。";

class DialogTest : public ::testing::Test {
  protected:
    FakeHidBackend backend;
    std::unique_ptr<CRemoteDlg> dialog =
        std::make_unique<CRemoteDlg>(backend, DeviceLink::Options{5, ""});

    QComboBox* systems() const {
        return static_cast<QComboBox*>(dialog->control(ids::kSystemSelector));
    }
    QComboBox* numbers() const {
        return static_cast<QComboBox*>(dialog->control(ids::kNumberSelector));
    }
    QLineEdit* field() const {
        return static_cast<QLineEdit*>(dialog->control(ids::kCommandField));
    }
    QPushButton* button(int id) const { return static_cast<QPushButton*>(dialog->control(id)); }
    QListWidget* logList() const {
        return static_cast<QListWidget*>(dialog->control(ids::kLogList));
    }

    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (int i = 0; i < logList()->count(); ++i) {
            out.push_back(logList()->item(i)->text().toStdString());
        }
        return out;
    }
    // Serves phones from the window; the loopback link's port and token.
    std::pair<int, std::string> servePhones() const {
        dialog->phoneRemoteAction()->trigger();
        const QString links =
            dialog->phoneRemoteDialog()
                ? dialog->phoneRemoteDialog()->findChild<QLabel*>(QStringLiteral("links"))->text()
                : QString();
        const QUrl url(links.split(QLatin1Char('\n')).filter(QStringLiteral("127.0.0.1")).value(0));
        return {url.port(), url.fragment().mid(2).toStdString()};
    }
    bool initialiseWith(const char* letter, const char* number, const char* command) {
        dialog->presetLetter = letter;
        dialog->presetNumber = number;
        dialog->presetCommand = command;
        return dialog->initialise();
    }
};

TEST_F(DialogTest, NoPresetsSelectTheFirstSystemAndSendNothing) {
    EXPECT_TRUE(initialiseWith("", "", ""));
    EXPECT_EQ(systems()->currentIndex(), 0);
    EXPECT_EQ(systems()->count(), 18);
    EXPECT_EQ(systems()->itemText(16).toStdString(), "Σシステム");
    EXPECT_FALSE(numbers()->isEnabled());
    EXPECT_EQ(numbers()->currentIndex(), -1);
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(backend.opens("t"), 0);
    EXPECT_EQ(dialog->windowTitle(), "TAVIK");
    EXPECT_EQ(QApplication::focusWidget() == systems() || !dialog->isVisible(), true);
}

TEST_F(DialogTest, ControlsFollowTheLayoutInDialogUnits) {
    const DialogUnits du(dialog->font());
    EXPECT_EQ(dialog->size(), du.size(182, 115));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "fixed size";
    EXPECT_EQ(button(ids::kSend)->geometry(), du.rect(145, 5, 32, 14));
    EXPECT_EQ(button(ids::kClear)->geometry(), du.rect(145, 22, 32, 14));
    EXPECT_EQ(logList()->geometry(), du.rect(5, 39, 172, 71));
    EXPECT_TRUE(button(ids::kSend)->isDefault());
    EXPECT_EQ(logList()->focusPolicy(), Qt::ClickFocus) << "out of the tab order, scrolls by keys";
    EXPECT_EQ(logList()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
    // Tab order: selectors, field, SEND, the five function buttons.
    QWidget* w = systems();
    for (int id : {ids::kNumberSelector, ids::kCommandField, ids::kSend, ids::kKeyUp, ids::kKeyDown,
                   ids::kStart, ids::kStop, ids::kClear}) {
        w = w->nextInFocusChain();
        EXPECT_EQ(w, dialog->control(id)) << id;
    }
}

// The controller's rules are tested without Qt; these prove the widgets reach it.
TEST_F(DialogTest, WidgetsReachTheController) {
    dialog->presetLetter = "T";
    dialog->presetNumber = "3";
    dialog->presetCommand = "12";
    EXPECT_EQ(dialog->runModal(), 1) << "a preset send ends the dialog at once";
    EXPECT_TRUE(dialog->presetNotDelivered());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(lines(), (std::vector<std::string>{kNotFound, "tavik T3 12"}));

    systems()->setCurrentIndex(16);  // the user picks Σシステム: 0..15
    EXPECT_EQ(numbers()->count(), 16);
    numbers()->setCurrentIndex(12);
    button(ids::kKeyUp)->click();
    EXPECT_EQ(lines().back(), "tavik C12 KU");
    field()->setText("1-2-3-4-5-6-7-8-9");
    button(ids::kSend)->click();
    EXPECT_EQ(lines().back(), "tavik C12 1-2-3-4-5-6-7-8") << "the field's first 15";
    systems()->setCurrentIndex(3);  // JOYSOUND: no numbers
    EXPECT_FALSE(numbers()->isEnabled());
    EXPECT_EQ(numbers()->currentIndex(), -1);
}

// The field never scrolls: typing stops while the last character and the cursor still show,
// and the first character stays where it was drawn. CTest runs this at scale factors 1.5 and 2.
TEST_F(DialogTest, TypingStopsBeforeTheFieldScrolls) {
    ASSERT_TRUE(initialiseWith("J", "", ""));
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    auto* f = static_cast<CommandField*>(field());
    f->setFocus();
    const int start = f->cursorArea().center().x();
    QTest::keyClicks(f, "1111111111111111111111111");
    const QString typed = f->text();
    EXPECT_GT(typed.size(), 5);
    EXPECT_LE(typed.size(), 15);
    const int end = f->cursorArea().center().x();
    EXPECT_EQ(end - start, QFontMetrics(f->font()).horizontalAdvance(typed)) << "scrolled";
    EXPECT_LT(end, f->textArea().right());
    QTest::keyClick(f, Qt::Key_1);
    EXPECT_EQ(f->text(), typed) << "the next character is refused";
    // A paste that does not fit is refused whole, not cut.
    f->clear();
    QApplication::clipboard()->setText(typed + typed);
    f->paste();
    EXPECT_EQ(f->text(), "");
    QApplication::clipboard()->setText(typed);
    f->paste();
    EXPECT_EQ(f->text(), typed);
    f->setText("1234567890123456789");
    EXPECT_EQ(f->text().size(), 19) << "a text set by the program may be longer";
}

// The focus shows on the system selector from the start, not after the first Tab, and the log's
// border is whole on all four sides. CTest runs this at scale factors 1.25 to 2 too.
TEST_F(DialogTest, FocusAndLogBorderShowFromTheStart) {
    ASSERT_TRUE(initialiseWith("", "", ""));
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    ASSERT_TRUE(systems()->hasFocus());
    const QImage focused = systems()->grab().toImage();
    button(ids::kSend)->setFocus();
    EXPECT_NE(systems()->grab().toImage(), focused) << "no focus shown on the system selector";

    const QImage image = dialog->grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    const QRectF list(QPointF(logList()->pos()) * dpr, QSizeF(logList()->size()) * dpr);
    // Some device pixel of the side's outermost logical pixel, [from, from + dpr), at the middle
    // of the side, is darker than the window and the list around it: a line of the border.
    const int light = std::min(qGray(dialog->palette().color(QPalette::Window).rgb()),
                               qGray(logList()->palette().color(QPalette::Base).rgb()));
    const auto drawn = [&](qreal from, bool across, int at) {
        for (int p = qFloor(from); p < qCeil(from + dpr); ++p) {
            if (qGray(image.pixel(across ? QPoint(p, at) : QPoint(at, p))) < light - 24) {
                return true;
            }
        }
        return false;
    };
    const int midX = qRound(list.center().x());
    const int midY = qRound(list.center().y());
    EXPECT_TRUE(drawn(list.left(), true, midY)) << "left at " << dpr;
    EXPECT_TRUE(drawn(list.right() - dpr, true, midY)) << "right at " << dpr;
    EXPECT_TRUE(drawn(list.top(), false, midX)) << "top at " << dpr;
    EXPECT_TRUE(drawn(list.bottom() - dpr, false, midX)) << "bottom at " << dpr;
}

// Open, each list fits its 120 units with the closed part and scrolls, in either style.
TEST_F(DialogTest, DropDownsOpenWithinTheirHeight) {
    const QString original = QApplication::style()->name();
    for (const char* styleName : {"Fusion", "Windows"}) {
        QApplication::setStyle(QString::fromLatin1(styleName));
        CRemoteDlg window(backend, {5, ""});
        window.presetLetter = "C";  // Σシステム: 18 systems, 16 numbers
        ASSERT_TRUE(window.initialise());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const int limit = DialogUnits(window.font()).size(0, 120).height();
        for (int id : {ids::kSystemSelector, ids::kNumberSelector}) {
            auto* box = static_cast<QComboBox*>(window.control(id));
            box->showPopup();
            const QWidget* popup = box->view()->window();
            ASSERT_TRUE(popup->isVisible()) << styleName << " " << id;
            EXPECT_LE(popup->height() + box->height(), limit) << styleName << " " << id;
            EXPECT_GT(box->view()->verticalScrollBar()->maximum(), 0) << styleName << " " << id;
            box->hidePopup();
        }
    }
    QApplication::setStyle(original);
}

TEST_F(DialogTest, EnterSendsUnlessAnotherButtonHasFocus) {
    ASSERT_TRUE(initialiseWith("J", "", ""));
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    field()->setFocus();
    field()->setText("123");
    QTest::keyClick(field(), Qt::Key_Return);
    ASSERT_FALSE(lines().empty());
    EXPECT_EQ(lines().back(), "tavik J 123");
    button(ids::kKeyDown)->setFocus();
    QTest::keyClick(button(ids::kKeyDown), Qt::Key_Return);
    EXPECT_EQ(lines().back(), "tavik J KD");
    // Alt and a letter go straight to a control, as in the Win32 window.
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    for (const auto& [key, id] : {std::pair{Qt::Key_S, ids::kSystemSelector},
                                  {Qt::Key_C, ids::kCommandField},
                                  {Qt::Key_L, ids::kLogList}}) {
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
        EXPECT_TRUE(dialog->control(id)->hasFocus()) << id;
    }
}

TEST_F(DialogTest, CloseShutsTheLinkDownAndEscapeDoesNot) {
    backend.plug({.path = "t"});
    ASSERT_TRUE(initialiseWith("J", "", ""));
    dialog->show();
    button(ids::kKeyUp)->click();
    ASSERT_EQ(backend.openHandles(), 2);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(backend.openHandles(), 2) << "Escape leaves the link to the end of the program";

    dialog->show();
    dialog->close();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(backend.openHandles(), 0) << "the close box runs the shutdown";
    EXPECT_EQ(dialog->link().running(), 0);
}

// A reader that finds the transmitter gone hands the loss to the window's thread, which closes
// what is left of the connection at once, not at the next send.
TEST_F(DialogTest, ALostConnectionIsClosedWithoutASend) {
    backend.plug({.path = "t"});
    ASSERT_TRUE(initialiseWith("J", "", ""));
    button(ids::kKeyUp)->click();
    ASSERT_EQ(backend.openHandles(), 2);
    backend.unplug("t");
    QDeadlineTimer deadline(5000);
    while (backend.openHandles() > 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_EQ(backend.openHandles(), 0) << "the write handle outlived the loss";
    EXPECT_EQ(lines().back(), "デバイスからの受信に失敗しました。");
}

TEST_F(DialogTest, AboutItemOpensTheAboutBox) {
    ASSERT_TRUE(initialiseWith("", "", ""));
    const QList<QAction*> actions = dialog->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text().toStdString(), "スマホで操作(&Q)...");
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text().toStdString(), "ﾊﾞｰｼﾞｮﾝ情報(tavik) (&A)...");
    // Their letters are not those of the command field's own menu, beside which they show.
    const std::unique_ptr<QMenu> fieldMenu(field()->createStandardContextMenu());
    for (const QAction* own : fieldMenu->actions()) {
        for (const char* ours : {"&Q", "&A"}) {
            EXPECT_EQ(own->text().indexOf(QLatin1String(ours), 0, Qt::CaseInsensitive), -1)
                << own->text().toStdString();
        }
    }

    EXPECT_FALSE(dialog->windowIcon().pixmap(32, 32).isNull()) << "the icon reaches the window";
    int opened = 0;
    dialog->setAboutRunner([&](CAboutDlg& box) {
        ++opened;
        EXPECT_EQ(box.windowTitle().toStdString(), "ﾊﾞｰｼﾞｮﾝ情報 tavik");
        EXPECT_EQ(box.parentWidget(), dialog.get());
        const DialogUnits du(box.font());
        EXPECT_EQ(box.size(), du.size(217, 55));
        const auto* icon = box.findChild<QLabel*>(QStringLiteral("icon"));
        ASSERT_NE(icon, nullptr);
        EXPECT_FALSE(icon->pixmap().isNull()) << "the icon reaches the About box";
        const qreal dpr = box.devicePixelRatioF();
        EXPECT_EQ(icon->pixmap().devicePixelRatio(), dpr) << "drawn at the screen's scale";
        const QSize drawn = icon->pixmap().size();
        EXPECT_EQ(drawn, (QSizeF(32, 32) * dpr).toSize());
        const QList<QSize> sizes = appIcon().availableSizes();
        EXPECT_TRUE(std::any_of(sizes.begin(), sizes.end(),
                                [&](QSize s) { return s.width() >= drawn.width(); }))
            << "an image of " << drawn.width() << " px or more, not a smaller one scaled up";
        EXPECT_EQ(icon->pos(), du.rect(11, 17, 18, 20).topLeft());
        const auto* version = box.findChild<QLabel*>(QStringLiteral("version"));
        ASSERT_NE(version, nullptr);
        EXPECT_GT(version->x(), icon->geometry().right()) << "beside the icon";
        EXPECT_LT(version->geometry().right(), du.rect(178, 7, 32, 14).left());
        QPushButton* ok = nullptr;
        for (auto* b : box.findChildren<QPushButton*>()) {
            if (b->property(kControlIdProperty).toInt() == ids::kAboutOk) {
                ok = b;
            }
        }
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isDefault());
        box.show();
        ok->click();
        EXPECT_EQ(box.result(), QDialog::Accepted);
        EXPECT_FALSE(box.isVisible());
    });
    actions[2]->trigger();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(systems()->currentIndex(), 0) << "the main window is unchanged";
}

// Maximised anyway (Qt's own title bar on Wayland offers it), a fixed-size window takes the size
// it is given, its controls in place; restored, its own size again. CTest runs this on a Wayland
// compositor too, which ends a program whose maximised window keeps its size.
TEST_F(DialogTest, MaximisedWindowsTakeTheGivenSize) {
    ASSERT_TRUE(initialiseWith("", "", ""));
    CAboutDlg about(dialog.get());
    PhoneRemoteDialog phones(
        dialog.get(), {"http://192.0.2.1:8462/#k=x"}, {}, [] {}, [](bool) {});
    for (QDialog* window : {static_cast<QDialog*>(dialog.get()), static_cast<QDialog*>(&about),
                            static_cast<QDialog*>(&phones)}) {
        const std::string name = window->windowTitle().toStdString();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << name;
        const QSize fixed = window->size();
        const QRect send = button(ids::kSend)->geometry();
        window->windowHandle()->setWindowStates(Qt::WindowMaximized);  // as that title bar does
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->width() > fixed.width(); })) << name;
        EXPECT_EQ(button(ids::kSend)->geometry(), send);
        window->windowHandle()->setWindowStates(Qt::WindowNoState);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->maximumSize() == fixed; })) << name;
        EXPECT_EQ(window->size(), fixed) << name;
        window->hide();
    }
}

// The two boxes to a screen reader (the main window's controls are checked over AT-SPI): the
// images have text alternatives, the buttons names and shortcuts.
TEST_F(DialogTest, BoxesNameTheirImagesAndButtons) {
    const std::string link = "http://192.0.2.1:8462/#k=x";
    CAboutDlg about(dialog.get());
    PhoneRemoteDialog phones(
        dialog.get(), {link}, {}, [] {}, [](bool) {});
    const auto child = [](QWidget& box, const char* name) {
        return box.findChild<QWidget*>(QString::fromLatin1(name));
    };
    const struct {
        QWidget* widget;
        QAccessible::Role role;
        std::string name, description, shortcut;
    } cases[] = {
        {child(about, "icon"), QAccessible::Graphic, "tavik のアイコン", "", ""},
        {about.findChild<QPushButton*>(), QAccessible::Button, "OK", "", ""},
        {child(phones, "qrCode"), QAccessible::Graphic, "接続用リンクの QR コード", link, ""},
        {child(phones, "stopServing"), QAccessible::Button, "受付を終了(S)",
         "すべてのスマホからの操作を止めます", "Alt+S"},
        {child(phones, "everySystem"), QAccessible::CheckBox, "どのシステムにも送れるようにする(A)",
         "", "Alt+A"},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.widget, nullptr) << c.name;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c.widget);
        EXPECT_EQ(a->role(), c.role) << c.name;
        EXPECT_EQ(a->text(QAccessible::Name).toStdString(), c.name);
        EXPECT_EQ(a->text(QAccessible::Description).toStdString(), c.description) << c.name;
        const QStringList keys = a->actionInterface() != nullptr
                                     ? a->actionInterface()->keyBindingsForAction(
                                           QAccessibleActionInterface::pressAction())
                                     : QStringList();
        EXPECT_EQ(keys.join(QString()).toStdString(), c.shortcut) << c.name;
    }
}

// From every control: F1 opens the About box, Shift+F10 a menu that ends with its item.
TEST_F(DialogTest, AboutFromTheKeyboardAnywhere) {
    ASSERT_TRUE(initialiseWith("", "", ""));
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    int opened = 0;
    dialog->setAboutRunner([&](CAboutDlg&) { ++opened; });
    for (int id : {ids::kSystemSelector, ids::kCommandField, ids::kSend, ids::kLogList}) {
        QWidget* control = dialog->control(id);
        QTest::keyClick(control, Qt::Key_F1);
        EXPECT_EQ(opened, 1) << id;
        QTest::keyClick(control, Qt::Key_F10, Qt::ShiftModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr) << id;
        const QList<QAction*> items = menu->actions();
        EXPECT_EQ(items.back()->text().toStdString(), "ﾊﾞｰｼﾞｮﾝ情報(tavik) (&A)...") << id;
        EXPECT_EQ(items.size() > 3, id == ids::kCommandField) << "the field keeps its edit menu";
        items.back()->trigger();
        menu->close();
        EXPECT_EQ(opened, 2) << id;
        opened = 0;
    }
}

// A phone's send comes over HTTP to the window's own session and log, for the window's system,
// which the box follows or opens; the box stands beside the window; Return does not stop the
// serving (CTest runs this under the GNOME theme too, whose Return presses the focused button),
// Alt+S does and closes the port.
TEST_F(DialogTest, ServesPhonesThroughTheWindowsSession) {
    backend.plug({"t"});
    ASSERT_TRUE(initialiseWith("T", "3", ""));
    dialog->show();
    const auto [port, token] = servePhones();
    ASSERT_TRUE(dialog->servingPhones());
    PhoneRemoteDialog* box = dialog->phoneRemoteDialog();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->frameGeometry().intersects(dialog->frameGeometry()));
    EXPECT_GT(box->findChild<QWidget*>(QStringLiteral("qrCode"))->width(), 100);
    ASSERT_GT(port, 0);
    EXPECT_EQ(token.size(), 32U);
    const auto systems = [&, port = port, token = token] {
        return test::httpRequest(port, "GET", "/api/systems",
                                 {{"Authorization", "Bearer " + token}})
            .body;
    };
    EXPECT_EQ(systems(), R"([{"letter":"T","name":"TOEI システム","numbers":[3]}])");
    numbers()->setCurrentIndex(4);
    EXPECT_EQ(systems(), R"([{"letter":"T","name":"TOEI システム","numbers":[5]}])");
    EXPECT_NE(box->findChild<QLabel*>(QStringLiteral("phoneSystem"))
                  ->text()
                  .indexOf(QStringLiteral("TOEI システム 5")),
              -1);
    box->findChild<QCheckBox*>(QStringLiteral("everySystem"))->click();
    EXPECT_EQ(systems().substr(0, 2), "[{");
    EXPECT_GT(systems().size(), 500U) << "every system";

    std::atomic<int> status{0};
    std::thread phone([&, port = port, token = token] {
        status = test::postSend(port, token, R"({"system":"T3","command":"12"})").status;
    });
    while (status.load() == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    phone.join();
    EXPECT_EQ(status.load(), 200);
    const std::vector<std::string> log = lines();
    ASSERT_GE(log.size(), 3U);
    EXPECT_EQ(log.front(), "スマホからの操作を受け付けています。");
    EXPECT_EQ(log.back(), "tavik T3 12");
    EXPECT_EQ(backend.writes("t").size(), 1U);

    auto* stop = box->findChild<QPushButton*>(QStringLiteral("stopServing"));
    for (QWidget* target : {static_cast<QWidget*>(stop), static_cast<QWidget*>(box)}) {
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    EXPECT_TRUE(dialog->servingPhones()) << "Return and Enter keep serving";
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible() && dialog->servingPhones()) << "a stray Escape ends nothing";
    EXPECT_EQ(lines().back(), phone::messages::kEscapeWhileServing);
    box->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(box));
    QTest::keyClick(box, Qt::Key_S, Qt::AltModifier);
    // A mnemonic clicks the button after its press is shown.
    for (int i = 0; i < 100 && dialog->servingPhones(); ++i) {
        QTest::qWait(10);
    }
    EXPECT_FALSE(dialog->servingPhones());
    EXPECT_EQ(lines().back(), "スマホからの操作の受付を終了しました。");
    EXPECT_EQ(test::httpRequest(port, "GET", "/").status, -1) << "nothing listens once stopped";
}

// While phones send, the gap between their packets is a timer: the window's own timer keeps
// ticking and it repaints, instead of sleeping out 300 ms before each send.
TEST_F(DialogTest, KeepsTurningWhilePhonesSend) {
    backend.plug({"t"});
    ASSERT_TRUE(initialiseWith("T", "3", ""));
    dialog->show();
    const auto [port, token] = servePhones();
    ASSERT_GT(port, 0);
    std::vector<std::atomic<int>> statuses(8);
    std::vector<std::thread> phones;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    ticks.start(10);
    for (std::atomic<int>& status : statuses) {
        // Four a second: within the phones' limit of five.
        QTest::qWait(250);
        phones.emplace_back([&status, port = port, token = token] {
            status = test::postSend(port, token, R"({"system":"T3","command":"12"})").status;
        });
    }
    const auto allAnswered = [&] {
        return std::all_of(statuses.begin(), statuses.end(), [](auto& s) { return s.load() != 0; });
    };
    for (int i = 0; i < 500 && !allAnswered(); ++i) {
        QTest::qWait(10);
    }
    for (std::thread& phone : phones) {
        phone.join();
    }
    for (const auto& status : statuses) {
        EXPECT_EQ(status.load(), 200);
    }
    EXPECT_EQ(backend.writes("t").size(), statuses.size());
    EXPECT_LT(longest, 100) << "ms without a tick of the window's timer";
}

TEST_F(DialogTest, ALineFromAnotherThreadLandsAfterTheEarlierOnes) {
    ASSERT_TRUE(initialiseWith("", "", ""));
    dialog->appendLog("first");
    std::atomic<bool> done{false};
    std::thread reader([&] {
        dialog->appendLog("from the reader");
        done = true;
    });
    while (!done.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    reader.join();
    dialog->appendLog("last");
    EXPECT_EQ(lines(), (std::vector<std::string>{"first", "from the reader", "last"}));
}

// Qt's own texts (here the field's context menu) in Japanese; without the translation, English.
TEST(ToolkitTranslation, JapaneseWhereInstalled) {
    EXPECT_FALSE(installToolkitTranslation(*qApp, QStringLiteral("/nonexistent")));
    QLineEdit field;
    const auto firstItem = [&] {
        const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
        return menu->actions().front()->text().toStdString();
    };
    EXPECT_EQ(firstItem(), "&Undo\tCtrl+Z");
    ASSERT_TRUE(installToolkitTranslation(*qApp, toolkitTranslationDirectory()));
    EXPECT_EQ(firstItem(), "元に戻す(&U)\tCtrl+Z");
}

// The program itself: its two options, and a start without a display.
TEST(TavikProgram, OptionsAndAStartWithoutADisplay) {
    const std::string program = TAVIK_GUI_PATH;
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* outStart;
        const char* err;
    } cases[] = {
        {{program, "--help"}, 0, "usage: tavik [LETTER[NUMBER] [COMMAND]]\n", ""},
        {{program, "--version"}, 0, "tavik 0.", ""},
        {{"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=xcb", program, "T3", "12"},
         2,
         "",
         "tavik: no display available; use tavik-cli to send without a window\n"},
        {{"WAYLAND_DISPLAY=wayland-0", "QT_QPA_PLATFORM=nosuch", program},
         2,
         "",
         "tavik: cannot use the display: Could not find the Qt platform plugin \"nosuch\" in "
         "\"\"\n"},
    };
    for (const auto& c : cases) {
        const auto r = test::runProcess("/usr/bin/env", c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back();
        EXPECT_EQ(r.out.rfind(c.outStart, 0), 0U) << r.out;
        EXPECT_EQ(r.err, c.err) << c.args.back();
    }
}

}  // namespace
}  // namespace tavik::ui

int main(int argc, char** argv) {
    // Listing the tests must work without a display too.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Qt 6.4's Wayland teardown now and then deadlocks after these tests; elsewhere the leak
    // check at exit is wanted.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        tavik::ui::endWithoutToolkitTeardown(result);
    }
    return result;
}
