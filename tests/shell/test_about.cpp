// The about box: its window, its keys, and its release on every close.
#include "platform/ui/prompts.h"
#include "shell/forms.h"
#include "shell/frmabout.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace tabvert::shell {
namespace {

// Shows the about box modally the way the About command does and runs `whileOpen` inside its modal
// loop; a box still open afterwards is closed so a broken key handler fails instead of hanging.
void ShowModal(Forms& forms, const std::function<void(FrmAbout&)>& whileOpen) {
    QPointer<FrmAbout> box = &forms.frmAbout();
    QTimer::singleShot(0, [box, whileOpen] {
        if (!box) return;
        if (!QTest::qWaitForWindowActive(box)) return;
        whileOpen(*box);
    });
    QTimer::singleShot(5000, [box] {
        if (box) box->close();
    });
    box->exec();
}

bool CentredOnScreen(const QWidget& window) {
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    return (window.frameGeometry().center() - screenCentre).manhattanLength() <= 2;
}

TEST(AboutBox, IsAFixedDialogWithThePictureAndOneOkButton) {
    FrmAbout box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Norrin Tabvert 4.0"));
    EXPECT_EQ(box.minimumSize(), QSize(311, 304));
    EXPECT_EQ(box.maximumSize(), QSize(311, 304));
    EXPECT_EQ(box.picture().size(), QSize(311, 304));
    const Qt::WindowFlags flags = box.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(box.testAttribute(Qt::WA_DeleteOnClose));

    const QList<QPushButton*> buttons = box.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons.front(), box.cmdOK());
    EXPECT_EQ(box.cmdOK()->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.cmdOK()->geometry(), QRect(128, 272, 57, 25));
    EXPECT_FALSE(box.cmdOK()->isDefault());
    EXPECT_FALSE(box.cmdOK()->autoDefault());

    // The picture fills the box: what is painted is the picture, under the button too.
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const QImage shot = box.grab().toImage();
    const QImage picture = box.picture().toImage();
    for (const QPoint p : {QPoint(0, 0), QPoint(310, 303), QPoint(150, 100), QPoint(20, 290)})
        EXPECT_EQ(QColor(shot.pixel(p)), QColor(picture.pixel(p))) << p.x() << "," << p.y();
}

TEST(AboutBox, EscapeAndEnterDoNothingSpacePressesTheFocusedOkButton) {
    ui::ScriptedPrompts prompts;
    Forms forms(prompts);
    bool focusOnOk = false, openAfterEscape = false, openAfterEnter = false, centred = false;
    ShowModal(forms, [&](FrmAbout& box) {
        centred = CentredOnScreen(box);
        focusOnOk = QApplication::focusWidget() == box.cmdOK();
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : box.cmdOK();
        QTest::keyClick(target, Qt::Key_Escape);
        openAfterEscape = box.isVisible();
        QTest::keyClick(target, Qt::Key_Return);
        openAfterEnter = box.isVisible();
        QTest::keyClick(target, Qt::Key_Space);
    });
    EXPECT_TRUE(centred);
    EXPECT_TRUE(focusOnOk);
    EXPECT_TRUE(openAfterEscape);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_FALSE(forms.isLoaded(Forms::Form::frmAbout)) << "Space closed and released the box";
}

TEST(AboutBox, TheCloseButtonReleasesItAndTheNextShowingIsFreshAndCentredAgain) {
    ui::ScriptedPrompts prompts;
    Forms forms(prompts);
    QPointer<FrmAbout> first;
    ShowModal(forms, [&](FrmAbout& box) {
        first = &box;
        box.move(5, 5);  // the user drags it aside
        box.close();     // the title bar's close button
    });
    EXPECT_TRUE(first.isNull());
    EXPECT_FALSE(forms.isLoaded(Forms::Form::frmAbout));

    bool centred = false;
    ShowModal(forms, [&](FrmAbout& box) {
        centred = CentredOnScreen(box);
        QTest::mouseClick(box.cmdOK(), Qt::LeftButton);
    });
    EXPECT_TRUE(centred);
    EXPECT_FALSE(forms.isLoaded(Forms::Form::frmAbout));
}

}  // namespace
}  // namespace tabvert::shell
