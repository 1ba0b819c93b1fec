#pragma once
// The one typeface of every window: "MS Sans Serif" 8.25 point. Where that bitmap font is missing (it is,
// on Linux), a sans serif of similar width stands in; fontconfig's default stand-in is much wider and
// cuts the dialog's longer captions.

#include <QFont>
#include <QStringList>

namespace tabvert::shell {

inline QFont WindowFont(bool bold = false) {
    static const bool substituted = [] {
        QFont::insertSubstitutions(
            QStringLiteral("MS Sans Serif"),
            {QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setBold(bold);
    return font;
}

}  // namespace tabvert::shell
