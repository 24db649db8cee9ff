#include "remote_dialog.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <thread>

#include "about_dialog.hpp"
#include "control_ids.hpp"
#include "dialog_units.hpp"
#include "support/fake_hid_backend.hpp"

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
    EXPECT_EQ(logList()->focusPolicy(), Qt::NoFocus);
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

TEST_F(DialogTest, TypingStopsAtFifteenCharacters) {
    ASSERT_TRUE(initialiseWith("J", "", ""));
    QTest::keyClicks(field(), "1111111111111111111111111");
    EXPECT_LE(field()->text().size(), 15);
    EXPECT_GT(field()->text().size(), 0);
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

TEST_F(DialogTest, AboutItemOpensTheAboutBox) {
    ASSERT_TRUE(initialiseWith("", "", ""));
    const QList<QAction*> actions = dialog->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_TRUE(actions[0]->isSeparator());
    EXPECT_EQ(actions[1]->text().toStdString(), "ﾊﾞｰｼﾞｮﾝ情報(tavik) (&A)...");

    int opened = 0;
    dialog->setAboutRunner([&](CAboutDlg& box) {
        ++opened;
        EXPECT_EQ(box.windowTitle().toStdString(), "ﾊﾞｰｼﾞｮﾝ情報 tavik");
        EXPECT_EQ(box.parentWidget(), dialog.get());
        const DialogUnits du(box.font());
        EXPECT_EQ(box.size(), du.size(217, 55));
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
    actions[1]->trigger();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(systems()->currentIndex(), 0) << "the main window is unchanged";
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

}  // namespace
}  // namespace tavik::ui

int main(int argc, char** argv) {
    // Listing the tests must work without a display too.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
