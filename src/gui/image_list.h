#pragma once
// An image list as the tree and the toolbar use it: pictures of one size, addressed by a 1-based index,
// drawn with every pixel of the list's mask colour transparent.

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <initializer_list>
#include <vector>

namespace tabvert::shell {

class ImageList {
  public:
    ImageList(QSize imageSize, QColor maskColor);

    // Adds a picture; pixels of exactly the mask colour become transparent. A picture of another size is
    // scaled to the list's size, as the control does. Returns the new picture's index (1-based).
    int Add(const QImage& picture);
    // Loads and adds each file (Qt resource paths work); throws std::runtime_error for one that cannot
    // be read, since a missing picture is a packaging fault.
    void AddFiles(std::initializer_list<const char*> paths);

    int Count() const { return static_cast<int>(pictures_.size()); }
    // index is 1-based; throws std::out_of_range outside 1..Count().
    const QPixmap& Picture(int index) const;
    QIcon Icon(int index) const { return QIcon(Picture(index)); }

    QSize ImageSize() const { return size_; }

    // The picture with the mask colour made transparent (exposed for the art generator and tests).
    static QImage ApplyMask(const QImage& picture, QColor maskColor);

  private:
    QSize size_;
    QColor mask_;
    std::vector<QPixmap> pictures_;
};

}  // namespace tabvert::shell
