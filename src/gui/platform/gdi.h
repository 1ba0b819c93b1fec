#pragma once
// The program's GDI: a table of bitmaps and brushes addressed by opaque handles, and the background
// brush of every window class the program has set one on, with the user32 and gdi32 calls that work
// on them. A window's class is its Qt class; a class background brush paints the background of every
// widget of that class, those that exist and those created later, the way Windows erases a window
// with its class brush.

#include <QBrush>
#include <QByteArray>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "gui/platform/types.h"

class QPixmap;
class QRect;

namespace tabvert::win32 {

// SetClassLongA index of a window class's background brush.
constexpr int GCL_HBRBACKGROUND = -10;

class Gdi {
  public:
    Gdi();
    ~Gdi();
    Gdi(const Gdi&) = delete;
    Gdi& operator=(const Gdi&) = delete;

    // The handle of a picture's bitmap, as a picture object hands it out: the same picture always
    // gives the same handle. Null for a null picture.
    HBITMAP PictureHandle(const QPixmap& picture);

    // gdi32: a brush that tiles the bitmap; null when `hbm` is no live bitmap. The bitmap is copied,
    // so the brush does not depend on it.
    HBRUSH CreatePatternBrush(HBITMAP hbm);
    // gdi32: releases a bitmap or brush; 0 when the handle is unknown or already deleted.
    BOOL DeleteObject(HGDIOBJ ho);

    // user32: with GCL_HBRBACKGROUND, makes `dwNewLong` (a brush handle) the background brush of the
    // window's class and returns the brush the class held before; the first time a class is touched
    // that is a brush of the class's current background. Any other index, a null window or a handle
    // that is no live brush changes nothing and returns 0.
    LONG SetClassLongA(HWND hWnd, int nIndex, LONG dwNewLong);
    LONG GetClassLongA(HWND hWnd, int nIndex);
    // user32: repaints the window, or every window when `hWnd` is null (then `lpRect` is ignored).
    BOOL InvalidateRect(HWND hWnd, const QRect* lpRect, BOOL bErase);

    // Inspection of the table.
    bool IsLive(HGDIOBJ ho) const;
    std::optional<QBrush> BrushOf(HBRUSH hbr) const;
    // Every successful DeleteObject, in order.
    const std::vector<HGDIOBJ>& Deleted() const { return deleted_; }

  private:
    class ClassBackgrounds;
    struct Object {
        enum class Kind { Bitmap, Brush } kind;
        QBrush brush;         // brushes
        qint64 pictureKey{};  // bitmaps: the picture's cache key
    };

    HGDIOBJ Add(Object object);
    const Object* Find(HGDIOBJ ho) const;
    // The class slot of a window, registered with a brush of its current background on first use.
    HBRUSH& ClassSlot(HWND hWnd);

    HGDIOBJ next_;
    std::map<HGDIOBJ, Object> objects_;
    std::map<QByteArray, HBRUSH> classes_;
    std::vector<HGDIOBJ> deleted_;
    std::unique_ptr<ClassBackgrounds> backgrounds_;
};

}  // namespace tabvert::win32
