#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>

#include "QtTestApp.h"
#include "windows/OVDlgUpdate.h"
#include "windows/OVDlgUpdating.h"
#include "windows/OVDlgUpgradeFinish.h"

namespace {

template <typename T>
T* child(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString text(QWidget* window, const char* name) { return child<QLabel>(window, name)->text(); }

void mouse(QWidget* window, QEvent::Type type, const QPoint& local) {
    QMouseEvent event(type, QPointF(local), QPointF(window->mapToGlobal(local)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

// Presses at local, moves by (30, 20), releases; the window's displacement.
QPoint dragFrom(QWidget* window, const QPoint& local) {
    const QPoint before = window->pos();
    mouse(window, QEvent::MouseButtonPress, local);
    mouse(window, QEvent::MouseMove, local + QPoint(30, 20));
    mouse(window, QEvent::MouseButtonRelease, local + QPoint(30, 20));
    return window->pos() - before;
}

TEST(OfferWindow, FormSizesAndTexts) {
    OVDlgUpdate window;
    EXPECT_EQ(window.size(), QSize(610, 408));
    EXPECT_EQ(text(&window, "lb_AskTips"),
              QStringLiteral("沛扎直播V2.0.1版本可供下载，你现在的版本是V2.0.0。要现在下载吗？"));
    EXPECT_EQ(text(&window, "lbTitle"), QStringLiteral("软件更新"));
    EXPECT_EQ(child<QPushButton>(&window, "btConfirm")->text(), QStringLiteral("马上升级"));
    EXPECT_EQ(child<QPushButton>(&window, "btCancel")->text(), QStringLiteral("稍后更新"));
    EXPECT_EQ(child<QPushButton>(&window, "btConfirm")->minimumSize(), QSize(80, 32));
    EXPECT_EQ(child<QLabel>(&window, "lbIcon")->minimumSize(), QSize(77, 77));
    EXPECT_FALSE(QPixmap(":/res/PEZAupgradeLogo.png").isNull());
    EXPECT_FALSE(QPixmap(":/res/FailedLogo.png").isNull());
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    auto* notes = child<QTextBrowser>(&window, "textBrowser");
    EXPECT_FALSE(notes->isEnabled());
    EXPECT_TRUE(notes->toPlainText().isEmpty());

    window.setRemoteVersion("3.1.0");
    window.setLocalVersion("3.0.2");
    EXPECT_EQ(text(&window, "lb_AskTips"),
              QStringLiteral("沛扎直播V3.1.0版本可供下载,你现在的版本是V3.0.2。要现在下载吗?"));
    window.setUpdateContent("<b>faster</b> downloads");
    EXPECT_EQ(notes->toPlainText(), "faster downloads");
    window.setUpdateContent("1 < 2");
    EXPECT_EQ(notes->toPlainText(), "1 < 2");
}

TEST(OfferWindow, DraggingIsNotArmedOnItsButtons) {
    OVDlgUpdate window;
    window.move(100, 100);
    window.show();
    auto* confirm = child<QPushButton>(&window, "btConfirm");
    auto* cancel = child<QPushButton>(&window, "btCancel");
    EXPECT_EQ(dragFrom(&window, confirm->mapTo(&window, QPoint(5, 5))), QPoint(0, 0));
    EXPECT_EQ(dragFrom(&window, cancel->mapTo(&window, QPoint(40, 16))), QPoint(0, 0));
    EXPECT_EQ(dragFrom(&window, QPoint(300, 30)), QPoint(30, 20));
}

TEST(ProgressWindow, ProgressTitleAndDragging) {
    OVDlgUpdating window;
    EXPECT_EQ(window.size(), QSize(420, 125));
    EXPECT_EQ(text(&window, "lbTips"), QStringLiteral("下载中,请保持网络连接"));
    EXPECT_EQ(child<QProgressBar>(&window, "progressBar")->minimumSize(), QSize(240, 8));
    window.setRemoteVersion("");
    EXPECT_EQ(text(&window, "labVersion"), QStringLiteral("软件更新V"));
    window.setRemoteVersion("2.0.1");
    EXPECT_EQ(text(&window, "labVersion"), QStringLiteral("软件更新V2.0.1"));
    window.on_dlProgressBack(7);
    EXPECT_EQ(child<QProgressBar>(&window, "progressBar")->value(), 7);
    EXPECT_EQ(text(&window, "label"), QStringLiteral("7%"));

    window.move(50, 60);
    window.show();
    EXPECT_EQ(dragFrom(&window, QPoint(200, 100)), QPoint(30, 20));
}

TEST(ProgressWindow, FailuresDimTheWindowAndReuseOneCentredDialog) {
    OVDlgUpdating window;
    window.setRemoteVersion("2.0.1");
    window.move(200, 150);
    window.show();

    struct Seen {
        OVDlgUpgradeFinish* dialog = nullptr;
        QFrame* overlay = nullptr;
        QPoint dialogPos;
        bool overlayVisible = false;
        QString title;
    };
    auto failOnce = [&window] {
        Seen seen;
        QTimer::singleShot(0, [&] {
            seen.dialog = window.failureDialog();
            seen.overlay = window.dimmingOverlay();
            if (!seen.dialog) return;
            seen.dialogPos = seen.dialog->pos();
            seen.overlayVisible = seen.overlay && seen.overlay->isVisible();
            seen.title = child<QLabel>(seen.dialog, "lbTitle")->text();
            seen.dialog->done(QDialog::Accepted);
        });
        window.on_dlFinishedBack(1, QString());
        return seen;
    };

    const Seen first = failOnce();
    ASSERT_NE(first.dialog, nullptr);
    EXPECT_TRUE(first.overlayVisible);
    EXPECT_EQ(first.overlay->size(), window.size());
    EXPECT_EQ(first.dialog->size(), QSize(318, 145));
    EXPECT_EQ(first.dialogPos, QPoint(200 + 420 / 2 - 318 / 2, 150 + 125 / 2 - 145 / 2));
    EXPECT_EQ(first.title, QStringLiteral("软件更新V2.0.1"));
    EXPECT_EQ(child<QLabel>(first.dialog, "labelTip")->text(),
              QStringLiteral("下载失败！请检查网络连接"));

    first.overlay->hide();
    window.move(400, 300);
    const Seen second = failOnce();
    EXPECT_EQ(second.dialog, first.dialog);
    EXPECT_EQ(second.overlay, first.overlay);
    EXPECT_TRUE(second.overlayVisible);
    EXPECT_EQ(second.dialogPos, QPoint(400 + 210 - 159, 300 + 62 - 72));
}

TEST(FailureDialog, EscapeRestartsTheMainApplicationLikeItsExitButton) {
    QTemporaryDir dir;
    const QString stub = dir.filePath("stub.sh");
    ASSERT_TRUE(updatertest::writeFile(
        stub, "#!/bin/sh\necho \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.args\"\n"));
    QFile::setPermissions(stub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    OVDlgUpgradeFinish dialog;
    dialog.setAppPath(stub);
    dialog.setRemoteVersion("2.0.1");
    EXPECT_EXIT(
        {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&dialog, &escape);
        },
        testing::ExitedWithCode(255), "");
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(stub + ".args") && !deadline.hasExpired()) QThread::msleep(20);
    EXPECT_EQ(updatertest::readFile(stub + ".args"), "OpenByUpdate 2.0.1\n");
}

}  // namespace
