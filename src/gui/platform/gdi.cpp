// The GDI stand-in: the table of bitmaps and brushes and the window-class background brushes.
#include "gui/platform/gdi.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QPixmap>
#include <QProxyStyle>
#include <QWidget>

namespace tabvert::win32 {

namespace {

// Handles start well above 0 so that a stray small number is never a live object.
constexpr HGDIOBJ kFirstHandle = 0x1000;

QByteArray ClassName(HWND hWnd) { return QByteArray(hWnd->metaObject()->className()); }

QPalette WithWindowBrush(QPalette palette, const QBrush& brush) {
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setBrush(group, QPalette::Window, brush);
    return palette;
}

// Windows' toolbars draw no panel of their own: what shows behind their buttons is the background the
// class brush erased. Qt's styles paint a toolbar panel over the background (Fusion a gradient of the
// background's colour, which a picture brush does not have), so a widget with a class brush draws its
// panels through this style, which leaves them to the background.
class ClassBrushStyle : public QProxyStyle {
  public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_ToolBar) return;
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_PanelToolBar) return;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

}  // namespace

// Paints the class brushes. The class palette serves widgets whose parents set no background of their
// own; a widget of the class also gets the brush set on itself, when it is polished, so that a parent
// coloured later (the main window turns light green after the toolbar got its brush) does not cover it.
class Gdi::ClassBackgrounds : public QObject {
  public:
    void Install(const QByteArray& className, const QBrush& brush) {
        brushes_[className] = brush;
        QApplication::setPalette(WithWindowBrush(QApplication::palette(className.constData()), brush),
                                 className.constData());
        for (QWidget* widget : QApplication::allWidgets()) {
            if (widget->inherits(className.constData())) Paint(widget, brush);
        }
        if (!filtering_) {
            qApp->installEventFilter(this);
            filtering_ = true;
        }
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Polish && watched->isWidgetType()) {
            for (const auto& [className, brush] : brushes_) {
                if (watched->inherits(className.constData())) Paint(static_cast<QWidget*>(watched), brush);
            }
        }
        return false;
    }

  private:
    // Some widgets erase with another role (a toolbar uses Button, which its buttons inherit); the
    // class brush is the window's own background, so it goes to Window and the widget erases with that.
    static void Paint(QWidget* widget, const QBrush& brush) {
        widget->setBackgroundRole(QPalette::Window);
        widget->setAutoFillBackground(true);
        widget->setPalette(WithWindowBrush(widget->palette(), brush));
        if (!dynamic_cast<ClassBrushStyle*>(widget->style())) {
            auto* style = new ClassBrushStyle;
            style->setParent(widget);  // goes with the widget
            widget->setStyle(style);
        }
    }

    std::map<QByteArray, QBrush> brushes_;
    bool filtering_ = false;
};

Gdi::Gdi() : next_(kFirstHandle), backgrounds_(std::make_unique<ClassBackgrounds>()) {}

Gdi::~Gdi() = default;

HGDIOBJ Gdi::Add(Object object) {
    const HGDIOBJ handle = next_++;
    objects_.emplace(handle, std::move(object));
    return handle;
}

const Gdi::Object* Gdi::Find(HGDIOBJ ho) const {
    const auto it = objects_.find(ho);
    return it == objects_.end() ? nullptr : &it->second;
}

HBITMAP Gdi::PictureHandle(const QPixmap& picture) {
    if (picture.isNull()) return 0;
    for (const auto& [handle, object] : objects_) {
        if (object.kind == Object::Kind::Bitmap && object.pictureKey == picture.cacheKey()) return handle;
    }
    return Add(Object{Object::Kind::Bitmap, QBrush(picture), picture.cacheKey()});
}

HBRUSH Gdi::CreatePatternBrush(HBITMAP hbm) {
    const Object* bitmap = Find(hbm);
    if (!bitmap || bitmap->kind != Object::Kind::Bitmap) return 0;
    // A texture brush tiles its pixmap from the painted widget's origin.
    return Add(Object{Object::Kind::Brush, QBrush(bitmap->brush.texture()), 0});
}

BOOL Gdi::DeleteObject(HGDIOBJ ho) {
    if (objects_.erase(ho) == 0) return 0;
    deleted_.push_back(ho);
    return 1;
}

HBRUSH& Gdi::ClassSlot(HWND hWnd) {
    const QByteArray className = ClassName(hWnd);
    auto it = classes_.find(className);
    if (it == classes_.end()) {
        const QBrush current = QApplication::palette(className.constData()).brush(QPalette::Window);
        it = classes_.emplace(className, Add(Object{Object::Kind::Brush, current, 0})).first;
    }
    return it->second;
}

LONG Gdi::SetClassLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    if (!hWnd || nIndex != GCL_HBRBACKGROUND) return 0;
    const auto brush = BrushOf(static_cast<HBRUSH>(dwNewLong));
    if (!brush) return 0;
    HBRUSH& slot = ClassSlot(hWnd);
    const HBRUSH previous = slot;
    slot = static_cast<HBRUSH>(dwNewLong);
    backgrounds_->Install(ClassName(hWnd), *brush);
    return static_cast<LONG>(previous);
}

LONG Gdi::GetClassLongA(HWND hWnd, int nIndex) {
    if (!hWnd || nIndex != GCL_HBRBACKGROUND) return 0;
    return static_cast<LONG>(ClassSlot(hWnd));
}

BOOL Gdi::InvalidateRect(HWND hWnd, const QRect* lpRect, BOOL) {
    if (hWnd) {
        if (lpRect)
            hWnd->update(*lpRect);
        else
            hWnd->update();
        return 1;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        window->update();
        for (QWidget* child : window->findChildren<QWidget*>()) child->update();
    }
    return 1;
}

bool Gdi::IsLive(HGDIOBJ ho) const { return Find(ho) != nullptr; }

std::optional<QBrush> Gdi::BrushOf(HBRUSH hbr) const {
    const Object* object = Find(hbr);
    if (!object || object->kind != Object::Kind::Brush) return std::nullopt;
    return object->brush;
}

}  // namespace tabvert::win32
