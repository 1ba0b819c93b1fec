// The GDI stand-in and the toolbar's tiled picture background.
#include <gtest/gtest.h>

#include <QLCDNumber>
#include <QLabel>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "gui/main_window.h"
#include "gui/platform/gdi.h"
#include "gui/platform/prompts.h"
#include "gui/toolbar_background.h"
#include "gui/windows.h"

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

// Counts the sampled points of `area` in `shot` that differ from `picture` tiled from `origin`.
int TileMismatches(const QImage& shot, QRect area, QPoint origin, const QImage& picture) {
    int mismatches = 0;
    for (int y = area.top(); y <= area.bottom(); y += 4)
        for (int x = area.left(); x <= area.right(); x += 11) {
            const QRgb expected =
                picture.pixel((x - origin.x()) % picture.width(), (y - origin.y()) % picture.height());
            mismatches += QColor(shot.pixel(x, y)).rgb() != QColor(expected).rgb();
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

TEST(Gdi, SetClassBrushReplacesTheBrushOfTheWholeClassAndDeletesThePreviousOnce) {
    win32::Gdi gdi;
    QLCDNumber first;
    QLCDNumber second;  // the same window class
    const HBRUSH original = ClassBrush(gdi, &first);
    ASSERT_TRUE(gdi.IsLive(original));
    const HBRUSH one = gdi.CreatePatternBrush(gdi.PictureHandle(Stripes({8, 8}, 3)));
    const HBRUSH two = gdi.CreatePatternBrush(gdi.PictureHandle(Stripes({8, 8}, 4)));

    // SetClassLongA refuses other indexes, no window and dead brushes, and deletes nothing itself.
    EXPECT_EQ(gdi.SetClassLongA(&first, -12, static_cast<win32::LONG>(one)), 0);
    EXPECT_EQ(gdi.SetClassLongA(nullptr, GCL_HBRBACKGROUND, static_cast<win32::LONG>(one)), 0);
    EXPECT_EQ(gdi.SetClassLongA(&first, GCL_HBRBACKGROUND, 999), 0);
    EXPECT_EQ(ClassBrush(gdi, &first), original);
    EXPECT_EQ(gdi.SetClassLongA(&first, GCL_HBRBACKGROUND, static_cast<win32::LONG>(two)),
              static_cast<win32::LONG>(original));
    EXPECT_TRUE(gdi.Deleted().empty());

    SetClassBrush(gdi, &first, one);
    EXPECT_EQ(gdi.Deleted(), std::vector<win32::HGDIOBJ>{two});
    EXPECT_EQ(ClassBrush(gdi, &second), one) << "the brush belongs to the class, not the window";
    SetClassBrush(gdi, &second, original);
    EXPECT_EQ(gdi.Deleted(), (std::vector<win32::HGDIOBJ>{two, one}));
    EXPECT_TRUE(gdi.IsLive(original));
}

TEST(ToolbarBackground, LoadTilesPicture1AcrossTheToolbarAndToolbarsCreatedLater) {
    ui::ScriptedPrompts prompts;
    Windows windows(prompts);
    MainWindow& window = windows.mainWindow();
    const QImage picture = window.ToolbarPicture()->pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(688, 66));

    // Load deleted the class's previous brush and nothing else, and installed a pattern of the toolbar
    // picture that stays alive.
    win32::Gdi& gdi = window.Gdi();
    const HBRUSH installed = ClassBrush(gdi, window.Toolbar());
    ASSERT_TRUE(gdi.IsLive(installed));
    EXPECT_EQ(gdi.BrushOf(installed)->texture().toImage().convertToFormat(picture.format()), picture);
    ASSERT_EQ(gdi.Deleted().size(), 1u);
    EXPECT_NE(gdi.Deleted().front(), installed);

    // Right of the three buttons a wide toolbar shows nothing but its background; its 69 pixels of height
    // also show the tile's first rows again below the 66 of the picture.
    window.setMaximumWidth(QWIDGETSIZE_MAX);  // the window's width is fixed; a window manager may widen it
    window.resize(1600, window.height());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect bar = window.Toolbar()->geometry();
    ASSERT_GT(bar.width(), 2 * picture.width());
    const QRect beside(QPoint(bar.left() + window.ToolbarButton(3)->geometry().right() + 3, bar.top()),
                       bar.bottomRight());
    EXPECT_EQ(TileMismatches(window.grab().toImage(), beside, bar.topLeft(), picture), 0);

    // A later toolbar inside a window of another colour paints the class brush, not the parent's colour.
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
    EXPECT_EQ(TileMismatches(shot, later->geometry().adjusted(0, 0, -12, -12), later->pos(), picture), 0);
    EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(202, 255, 126));
}

}  // namespace
}  // namespace tabvert::shell
