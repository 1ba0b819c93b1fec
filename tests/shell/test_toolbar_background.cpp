// The GDI stand-in and the toolbar's tiled picture background.
#include "platform/ui/prompts.h"
#include "platform/win32/gdi.h"
#include "shell/forms.h"
#include "shell/module1.h"
#include "shell/tabvert.h"

#include <QLCDNumber>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tabvert::shell {
namespace {

using win32::GCL_HBRBACKGROUND;
using win32::HBRUSH;

// A picture with no two equal columns or rows within a tile, so a shifted or stretched tile shows.
QPixmap Stripes(QSize size, int seed) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed) % 256, (y * 11 + seed) % 256, (x + y + seed) % 256));
    return QPixmap::fromImage(image);
}

// Compares an area of a screenshot with `picture` tiled from the area's top-left corner; returns the
// number of sampled points that differ.
int TileMismatches(const QImage& shot, QRect area, const QImage& picture, int step = 13) {
    int mismatches = 0;
    for (int y = area.top(); y <= area.bottom(); y += 5) {
        for (int x = area.left(); x <= area.right(); x += step) {
            const QRgb expected =
                picture.pixel((x - area.left()) % picture.width(), (y - area.top()) % picture.height());
            if (QColor(shot.pixel(x, y)).rgb() != QColor(expected).rgb()) ++mismatches;
        }
    }
    return mismatches;
}

HBRUSH ClassBrush(win32::Gdi& gdi, QWidget* window) {
    return static_cast<HBRUSH>(gdi.GetClassLongA(window, GCL_HBRBACKGROUND));
}

TEST(Gdi, ABrushOutlivesItsBitmapAndNothingIsDeletedTwice) {
    win32::Gdi gdi;
    const QPixmap picture = Stripes({20, 10}, 1);
    const auto bitmap = gdi.PictureHandle(picture);
    const HBRUSH brush = gdi.CreatePatternBrush(bitmap);
    ASSERT_NE(brush, 0u);
    EXPECT_EQ(gdi.CreatePatternBrush(brush), 0u) << "a brush is no bitmap";

    EXPECT_EQ(gdi.DeleteObject(bitmap), 1);
    ASSERT_TRUE(gdi.BrushOf(brush).has_value());
    EXPECT_EQ(gdi.BrushOf(brush)->texture().toImage(), picture.toImage());
    EXPECT_EQ(gdi.DeleteObject(bitmap), 0);
    EXPECT_EQ(gdi.Deleted(), std::vector<win32::HGDIOBJ>{bitmap});
}

TEST(Gdi, SetClassLongChangesOnlyTheBackgroundBrushOfALiveBrush) {
    win32::Gdi gdi;
    QLCDNumber window;
    const HBRUSH original = ClassBrush(gdi, &window);
    ASSERT_TRUE(gdi.IsLive(original));
    const HBRUSH brush = gdi.CreatePatternBrush(gdi.PictureHandle(Stripes({8, 8}, 2)));

    EXPECT_EQ(gdi.SetClassLongA(&window, -12, static_cast<win32::LONG>(brush)), 0);
    EXPECT_EQ(gdi.SetClassLongA(nullptr, GCL_HBRBACKGROUND, static_cast<win32::LONG>(brush)), 0);
    EXPECT_EQ(gdi.SetClassLongA(&window, GCL_HBRBACKGROUND, 999), 0);
    EXPECT_EQ(ClassBrush(gdi, &window), original);

    EXPECT_EQ(gdi.SetClassLongA(&window, GCL_HBRBACKGROUND, static_cast<win32::LONG>(brush)),
              static_cast<win32::LONG>(original));
    EXPECT_EQ(ClassBrush(gdi, &window), brush);
    EXPECT_TRUE(gdi.Deleted().empty()) << "SetClassLongA deletes nothing itself";
}

TEST(SetClassBrush, DeletesThePreviousClassBrushOnceAndKeepsTheNewOne) {
    win32::Gdi gdi;
    QLCDNumber first;
    QLCDNumber second;  // the same window class
    const HBRUSH original = ClassBrush(gdi, &first);
    const HBRUSH one = gdi.CreatePatternBrush(gdi.PictureHandle(Stripes({8, 8}, 3)));
    const HBRUSH two = gdi.CreatePatternBrush(gdi.PictureHandle(Stripes({8, 8}, 4)));

    SetClassBrush(gdi, &first, one);
    EXPECT_EQ(gdi.Deleted(), std::vector<win32::HGDIOBJ>{original});
    EXPECT_EQ(ClassBrush(gdi, &second), one) << "the brush belongs to the class, not the window";
    EXPECT_TRUE(gdi.IsLive(one));

    SetClassBrush(gdi, &second, two);
    EXPECT_EQ(gdi.Deleted(), (std::vector<win32::HGDIOBJ>{original, one}));
    EXPECT_TRUE(gdi.IsLive(two));
}

TEST(ToolbarBackground, LoadTilesPicture1AcrossAWideToolbar) {
    ui::ScriptedPrompts prompts;
    Forms forms(prompts);
    Tabvert& window = forms.tabvert();
    const QImage picture = window.Picture1()->pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(688, 66));

    // The class held one brush before load; load deleted it and nothing else, and installed a pattern of
    // Picture1 that stays alive.
    win32::Gdi& gdi = window.gdi();
    const HBRUSH installed = ClassBrush(gdi, window.Toolbar1());
    ASSERT_TRUE(gdi.IsLive(installed));
    EXPECT_EQ(gdi.BrushOf(installed)->texture().toImage().convertToFormat(picture.format()), picture);
    ASSERT_EQ(gdi.Deleted().size(), 1u);
    EXPECT_NE(gdi.Deleted().front(), installed);

    window.resize(1600, window.height());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect bar = window.Toolbar1()->geometry();
    ASSERT_GT(bar.width(), 2 * picture.width());
    const QImage shot = window.grab().toImage();
    // Right of the three buttons the toolbar shows nothing but its background; its 69 pixels of height
    // also show the tile's first rows again below the 66 of the picture.
    const int buttonsEnd = window.Toolbar1Button(3)->geometry().right() + 1;
    int mismatches = 0;
    for (int y = 0; y < bar.height(); y += 4) {
        for (int x = buttonsEnd + 2; x < bar.width(); x += 11) {
            const QRgb expected = picture.pixel(x % picture.width(), y % picture.height());
            if (QColor(shot.pixel(bar.left() + x, bar.top() + y)).rgb() != QColor(expected).rgb())
                ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(ToolbarBackground, ToolbarsCreatedAfterLoadPaintThePatternToo) {
    ui::ScriptedPrompts prompts;
    Forms forms(prompts);
    Tabvert& window = forms.tabvert();
    const QImage picture = window.Picture1()->pixmap().toImage();

    // A later toolbar inside a window of another colour: the class brush, not the parent's colour.
    QWidget host;
    QPalette green = host.palette();
    green.setColor(QPalette::Window, QColor(202, 255, 126));
    host.setPalette(green);
    host.setAutoFillBackground(true);
    host.resize(900, 120);
    auto* later = new QToolBar(&host);
    later->setMovable(false);
    later->setGeometry(10, 20, 800, 80);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    const QImage shot = host.grab().toImage();
    EXPECT_EQ(TileMismatches(shot, later->geometry().adjusted(0, 0, -12, -12), picture), 0);
    // Outside the toolbar the host keeps its own colour.
    EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(202, 255, 126));
}

}  // namespace
}  // namespace tabvert::shell
