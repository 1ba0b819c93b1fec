// The image list: pictures of one size with their mask colour made transparent, by 1-based index.
#include "gui/image_list.h"

#include <stdexcept>
#include <string>

namespace tabvert::shell {

ImageList::ImageList(QSize imageSize, QColor maskColor) : size_(imageSize), mask_(maskColor) {}

QImage ImageList::ApplyMask(const QImage& picture, QColor maskColor) {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = maskColor.rgb() & 0x00ffffffu;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0x00ffffffu) == key) line[x] = 0;
        }
    }
    return image;
}

int ImageList::Add(const QImage& picture) {
    QImage image = ApplyMask(picture, mask_);
    if (image.size() != size_) image = image.scaled(size_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    pictures_.push_back(QPixmap::fromImage(image));
    return Count();
}

void ImageList::AddFiles(std::initializer_list<const char*> paths) {
    for (const char* path : paths) {
        QImage image(QString::fromUtf8(path));
        if (image.isNull()) throw std::runtime_error(std::string("cannot read picture ") + path);
        Add(image);
    }
}

const QPixmap& ImageList::Picture(int index) const {
    if (index < 1 || index > Count())
        throw std::out_of_range("image list index " + std::to_string(index) + " outside 1.." +
                                std::to_string(Count()));
    return pictures_[static_cast<size_t>(index - 1)];
}

}  // namespace tabvert::shell
