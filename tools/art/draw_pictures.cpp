// Draws the program's pictures into a folder: the program icon, the splash and about pictures, the
// toolbar buttons and background and the tree-node pictures, at the sizes and on the mask colours the
// windows expect, and the icon for the desktop's icon theme (hicolor/, installed with the program). Run it by
// hand after changing the artwork and commit the PNGs it writes:
//
//     cmake --build build --target tabvert_art && QT_QPA_PLATFORM=offscreen build/tabvert-art
//     resources/pictures

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <QTextStream>
#include <cmath>
#include <cstdio>

namespace {

const QColor kInk(24, 44, 84);  // dark navy for outlines and text
const QColor kBlue(38, 104, 196);
const QColor kBlueLight(120, 182, 248);
const QColor kGreen(46, 160, 67);         // sheet green
const QColor kGreenLight(202, 255, 126);  // the program's light green
const QColor kMagenta(255, 0, 255);
const QColor kMaskGrey(192, 192, 192);

QImage Canvas(int w, int h, QColor fill = Qt::transparent) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

// Flattens an anti-aliased drawing onto a mask colour: pixels mostly covered become opaque (their edge
// blended with `edge`, the colour the picture will usually sit on), the rest become the mask colour.
// This keeps the mask colour from bleeding into soft edges as a coloured fringe.
QImage OnMask(const QImage& drawing, QColor mask, QColor edge) {
    QImage src = drawing.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            const int a = qAlpha(in[x]);
            if (a < 100) {
                line[x] = mask.rgb();
                continue;
            }
            auto mix = [a](int c, int e) { return (c * a + e * (255 - a)) / 255; };
            QRgb rgb = qRgb(mix(qRed(in[x]), edge.red()), mix(qGreen(in[x]), edge.green()),
                            mix(qBlue(in[x]), edge.blue()));
            if ((rgb & 0xffffff) == (mask.rgb() & 0xffffff)) rgb ^= 1;  // never the mask colour by chance
            line[x] = rgb;
        }
    }
    return out;
}

// A database cylinder: rect is the bounding box, three stacked bands.
void DrawCylinder(QPainter& p, QRectF r, QColor body, QColor top, qreal pen) {
    const qreal eh = r.height() * 0.26;  // ellipse height
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, body.darker(115));
    g.setColorAt(0.45, body.lighter(135));
    g.setColorAt(1, body.darker(140));
    QPainterPath side;
    side.moveTo(r.left(), r.top() + eh / 2);
    side.lineTo(r.left(), r.bottom() - eh / 2);
    side.arcTo(QRectF(r.left(), r.bottom() - eh, r.width(), eh), 180, 180);
    side.lineTo(r.right(), r.top() + eh / 2);
    side.closeSubpath();
    p.setPen(QPen(kInk, pen));
    p.setBrush(g);
    p.drawPath(side);
    // band lines
    p.setBrush(Qt::NoBrush);
    for (int band = 1; band <= 2; ++band) {
        const qreal y = r.top() + eh / 2 + (r.height() - eh) * band / 3.0;
        p.drawArc(QRectF(r.left(), y - eh / 2, r.width(), eh), 180 * 16, 180 * 16);
    }
    QLinearGradient tg(r.topLeft(), r.topRight());
    tg.setColorAt(0, top.lighter(110));
    tg.setColorAt(1, top.lighter(150));
    p.setBrush(tg);
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), eh));
}

// A worksheet: white page with a green header row and grid lines.
void DrawSheet(QPainter& p, QRectF r, int cols, int rows, qreal pen) {
    p.setPen(QPen(kInk, pen));
    p.setBrush(Qt::white);
    p.drawRect(r);
    const qreal header = r.height() / (rows + 1);
    QLinearGradient g(r.topLeft(), QPointF(r.left(), r.top() + header));
    g.setColorAt(0, kGreen.lighter(125));
    g.setColorAt(1, kGreen);
    p.setBrush(g);
    p.drawRect(QRectF(r.left(), r.top(), r.width(), header));
    p.setPen(QPen(QColor(150, 170, 160), pen * 0.6));
    for (int c = 1; c < cols; ++c) {
        const qreal x = r.left() + r.width() * c / cols;
        p.drawLine(QPointF(x, r.top() + header), QPointF(x, r.bottom()));
    }
    for (int row = 1; row <= rows; ++row) {
        const qreal y = r.top() + header + (r.height() - header) * row / (rows + 0.0001) - 0.5;
        if (row < rows) p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    }
    p.setPen(QPen(kInk, pen));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
}

// A bold arrow pointing right, from (x, y) centre-left, length len, thickness t.
void DrawArrow(QPainter& p, QPointF from, qreal len, qreal t, QColor fill, qreal pen) {
    QPainterPath a;
    const qreal head = t * 1.9;
    a.moveTo(from.x(), from.y() - t / 2);
    a.lineTo(from.x() + len - head, from.y() - t / 2);
    a.lineTo(from.x() + len - head, from.y() - t * 1.25);
    a.lineTo(from.x() + len, from.y());
    a.lineTo(from.x() + len - head, from.y() + t * 1.25);
    a.lineTo(from.x() + len - head, from.y() + t / 2);
    a.lineTo(from.x(), from.y() + t / 2);
    a.closeSubpath();
    QLinearGradient g(0, from.y() - t, 0, from.y() + t);
    g.setColorAt(0, fill.lighter(140));
    g.setColorAt(1, fill.darker(115));
    p.setPen(QPen(kInk, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPath(a);
}

// The logo: a database cylinder passing an arrow to a worksheet, in a square of side s at origin.
void DrawLogo(QPainter& p, QPointF origin, qreal s) {
    p.save();
    p.translate(origin);
    const qreal pen = std::max(1.0, s / 48.0);
    DrawSheet(p, QRectF(s * 0.42, s * 0.22, s * 0.54, s * 0.62), 3, 4, pen);
    DrawCylinder(p, QRectF(s * 0.04, s * 0.10, s * 0.40, s * 0.58), kBlue, kBlueLight, pen);
    DrawArrow(p, QPointF(s * 0.20, s * 0.80), s * 0.56, s * 0.11, QColor(255, 170, 40), pen);
    p.restore();
}

// The program icon on a painter whose square side is `side` pixels: a rounded tile with the logo. The
// proportions are those of the 32-pixel window icon, so every size shows the same picture.
void DrawIcon(QPainter& p, qreal side) {
    const qreal unit = side / 32;
    QLinearGradient g(0, 0, 0, side);
    g.setColorAt(0, QColor(232, 244, 255));
    g.setColorAt(1, QColor(178, 214, 246));
    p.setPen(QPen(kInk, unit));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(unit / 2, unit / 2, side - unit, side - unit), 6 * unit, 6 * unit);
    DrawLogo(p, QPointF(unit, unit), 30 * unit);
}

QImage Icon(int side) {
    QImage image = Canvas(side, side);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawIcon(p, side);
    return image;
}

// The icon for the desktop's icon theme: one PNG per usual size and a scalable SVG, laid out as the
// hicolor theme is (hicolor/NxN/apps, hicolor/scalable/apps).
bool WriteThemeIcons(const QDir& out) {
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(side);
        if (!out.mkpath(folder) || !Icon(side).save(out.filePath(folder + "/tabvert.png"), "PNG")) {
            std::fprintf(stderr, "cannot write the %d-pixel icon\n", side);
            return false;
        }
    }
    if (!out.mkpath(QStringLiteral("hicolor/scalable/apps"))) return false;
    QSvgGenerator svg;
    svg.setFileName(out.filePath(QStringLiteral("hicolor/scalable/apps/tabvert.svg")));
    svg.setSize(QSize(64, 64));
    svg.setViewBox(QRect(0, 0, 64, 64));
    svg.setTitle(QStringLiteral("Norrin Tabvert"));
    QPainter p;
    if (!p.begin(&svg)) {
        std::fprintf(stderr, "cannot write the scalable icon\n");
        return false;
    }
    DrawIcon(p, 64);
    return p.end();
}

void DrawSoftGrid(QPainter& p, QRect r, int step, QColor color) {
    p.setPen(QPen(color, 1));
    for (int x = r.left(); x < r.right(); x += step) p.drawLine(x, r.top(), x, r.bottom());
    for (int y = r.top(); y < r.bottom(); y += step) p.drawLine(r.left(), y, r.right(), y);
}

QFont Font(const char* family, qreal points, int weight, qreal spacing = 0) {
    QFont f(QString::fromUtf8(family));
    f.setPointSizeF(points);
    f.setWeight(static_cast<QFont::Weight>(weight));
    if (spacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QImage Splash() {
    // 350 x 214; the window shows 348 x 211 of it, so nothing important sits in the last columns/rows.
    QImage image = Canvas(350, 214, Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 350, 214);
    bg.setColorAt(0, QColor(16, 38, 82));
    bg.setColorAt(0.6, QColor(26, 84, 140));
    bg.setColorAt(1, QColor(30, 120, 130));
    p.fillRect(image.rect(), bg);
    DrawSoftGrid(p, image.rect(), 14, QColor(255, 255, 255, 14));
    QRadialGradient glow(QPointF(86, 92), 120);
    glow.setColorAt(0, QColor(255, 255, 255, 70));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), glow);

    DrawLogo(p, QPointF(22, 40), 118);

    p.setPen(Qt::white);
    const QFont title = Font("URW Gothic", 22, QFont::Bold);
    p.setFont(title);
    p.drawText(QRectF(150, 52, 196, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Norrin"));
    p.drawText(QRectF(150, 82, 196, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tabvert"));
    // The version follows the second word on its baseline.
    const qreal versionLeft = 150 + QFontMetricsF(title).horizontalAdvance(QStringLiteral("Tabvert")) + 8;
    p.setPen(kGreenLight);
    p.setFont(Font("URW Gothic", 16, QFont::Bold));
    p.drawText(QRectF(versionLeft, 86, 340 - versionLeft, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("4.0"));
    p.setPen(QColor(255, 255, 255, 210));
    p.setFont(Font("DejaVu Sans", 7.5, QFont::Normal, 0.3));
    p.drawText(QRectF(152, 118, 194, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Access tables to Excel workbooks"));

    // Bottom band with the full product name.
    QLinearGradient band(0, 172, 0, 211);
    band.setColorAt(0, QColor(0, 0, 0, 40));
    band.setColorAt(1, QColor(0, 0, 0, 110));
    p.fillRect(QRect(0, 172, 350, 42), band);
    p.setPen(QPen(kGreenLight, 2));
    p.drawLine(0, 172, 350, 172);
    p.setPen(QColor(235, 245, 255));
    p.setFont(Font("DejaVu Sans", 8, QFont::Bold, 0.5));
    p.drawText(QRectF(14, 176, 320, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Norrin Tabvert 4.0"));
    p.setPen(QColor(235, 245, 255, 170));
    p.setFont(Font("DejaVu Sans", 7, QFont::Normal));
    p.drawText(QRectF(14, 176, 330, 30), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Loading\u2026"));
    return image;
}

QImage About() {
    // 311 x 304; the OK button sits at 128,272 (57 x 25), so the bottom stays quiet.
    QImage image = Canvas(311, 304, Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient head(0, 0, 311, 120);
    head.setColorAt(0, QColor(16, 38, 82));
    head.setColorAt(1, QColor(28, 104, 150));
    p.fillRect(QRect(0, 0, 311, 118), head);
    DrawSoftGrid(p, QRect(0, 0, 311, 118), 12, QColor(255, 255, 255, 14));
    p.setPen(QPen(kGreenLight, 3));
    p.drawLine(0, 118, 311, 118);
    DrawLogo(p, QPointF(16, 14), 92);
    p.setPen(Qt::white);
    p.setFont(Font("URW Gothic", 17, QFont::Bold));
    p.drawText(QRectF(116, 24, 190, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Norrin Tabvert"));
    p.setPen(kGreenLight);
    p.setFont(Font("DejaVu Sans", 13, QFont::Bold));
    p.drawText(QRectF(116, 54, 190, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Version 4.0"));

    QLinearGradient body(0, 120, 0, 304);
    body.setColorAt(0, QColor(247, 252, 240));
    body.setColorAt(1, QColor(226, 244, 206));
    p.fillRect(QRect(0, 121, 311, 183), body);
    p.setPen(kInk);
    p.setFont(Font("DejaVu Sans", 8.5, QFont::Bold));
    p.drawText(QRectF(20, 134, 272, 18), Qt::AlignLeft, QStringLiteral("Norrin Tabvert 4.0"));
    p.setFont(Font("DejaVu Sans", 7.5, QFont::Normal));
    p.setPen(QColor(50, 60, 70));
    p.drawText(QRectF(20, 156, 272, 80), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Converts the tables of Microsoft Access databases (.mdb, .mde, .accdb) "
                              "into one Excel workbook (.xls or .xlsx): one worksheet per table, a "
                              "formatted header row and one row per record."));
    p.setPen(QColor(90, 110, 100));
    p.drawText(QRectF(20, 236, 272, 18), Qt::AlignLeft,
               QStringLiteral("Databases with a password open as well."));
    p.setPen(QPen(QColor(180, 210, 160), 1));
    p.drawLine(20, 260, 291, 260);
    return image;
}

// Toolbar pictures sit on the tiled background; soft edges are blended with its middle tone.
const QColor kToolbarTone(214, 230, 246);

QImage ToolbarOpen() {
    QImage draw = Canvas(66, 63);
    QPainter p(&draw);
    p.setRenderHint(QPainter::Antialiasing);
    // Folder back.
    QPainterPath back;
    back.moveTo(6, 16);
    back.lineTo(22, 16);
    back.lineTo(27, 21);
    back.lineTo(52, 21);
    back.lineTo(52, 54);
    back.lineTo(6, 54);
    back.closeSubpath();
    QLinearGradient fb(0, 16, 0, 54);
    fb.setColorAt(0, QColor(250, 210, 110));
    fb.setColorAt(1, QColor(214, 160, 50));
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(fb);
    p.drawPath(back);
    DrawCylinder(p, QRectF(30, 6, 28, 38), kBlue, kBlueLight, 1.5);
    // Folder front, tilted open.
    QPainterPath front;
    front.moveTo(4, 30);
    front.lineTo(50, 30);
    front.lineTo(58, 56);
    front.lineTo(10, 56);
    front.closeSubpath();
    QLinearGradient ff(0, 30, 0, 56);
    ff.setColorAt(0, QColor(255, 230, 150));
    ff.setColorAt(1, QColor(236, 184, 70));
    p.setBrush(ff);
    p.drawPath(front);
    return OnMask(draw, kMagenta, kToolbarTone);
}

QImage ToolbarExport() {
    QImage draw = Canvas(66, 63);
    QPainter p(&draw);
    p.setRenderHint(QPainter::Antialiasing);
    DrawSheet(p, QRectF(26, 8, 34, 44), 3, 5, 1.5);
    DrawCylinder(p, QRectF(4, 14, 24, 36), kBlue, kBlueLight, 1.5);
    DrawArrow(p, QPointF(12, 52), 44, 8, QColor(255, 160, 30), 1.5);
    return OnMask(draw, kMagenta, kToolbarTone);
}

QImage ToolbarHelp() {
    QImage draw = Canvas(66, 63);
    QPainter p(&draw);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(26, 22), 30);
    g.setColorAt(0, kBlueLight);
    g.setColorAt(1, kBlue.darker(120));
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(g);
    p.drawEllipse(QRectF(9, 7, 48, 48));
    p.setBrush(QColor(255, 255, 255, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(17, 11, 30, 16));
    p.setPen(Qt::white);
    p.setFont(Font("DejaVu Sans", 26, QFont::Bold));
    p.drawText(QRectF(9, 7, 48, 48), Qt::AlignCenter, QStringLiteral("?"));
    return OnMask(draw, kMagenta, kToolbarTone);
}

QImage NodeDatabase() {
    QImage draw = Canvas(16, 16);
    QPainter p(&draw);
    p.setRenderHint(QPainter::Antialiasing);
    DrawCylinder(p, QRectF(2.5, 1.5, 11, 13), kBlue, kBlueLight, 1);
    return OnMask(draw, kMaskGrey, Qt::white);
}

QImage NodeTable() {
    QImage draw = Canvas(16, 16);
    QPainter p(&draw);
    // Crisp pixel grid: no anti-aliasing at this size.
    p.setPen(kInk);
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 11);
    p.fillRect(QRect(2, 3, 12, 3), kGreen);
    p.setPen(QColor(150, 170, 160));
    for (int x : {5, 9}) p.drawLine(x, 6, x, 12);
    for (int y : {8, 10}) p.drawLine(2, y, 13, y);
    p.setPen(kInk);
    p.drawLine(1, 6, 14, 6);
    return OnMask(draw, kMaskGrey, Qt::white);
}

QImage ToolbarBackground() {
    // 688 x 66, tiled across the toolbar: every row is periodic in 688, so repeats join seamlessly.
    QImage image = Canvas(688, 66, Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 66);
    g.setColorAt(0, QColor(240, 247, 255));
    g.setColorAt(0.5, QColor(214, 230, 246));
    g.setColorAt(1, QColor(188, 210, 236));
    p.fillRect(image.rect(), g);
    // Two soft waves with a whole number of periods across the width.
    for (int wave = 0; wave < 2; ++wave) {
        QPainterPath path;
        const double periods = wave == 0 ? 2 : 3;
        const double base = wave == 0 ? 40 : 50;
        const double amp = wave == 0 ? 7 : 5;
        path.moveTo(0, 66);
        for (int x = 0; x <= 688; x += 4) {
            const double y = base + amp * std::sin(2 * M_PI * periods * x / 688.0 + wave);
            path.lineTo(x, y);
        }
        path.lineTo(688, 66);
        path.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(wave == 0 ? QColor(255, 255, 255, 60) : QColor(120, 170, 220, 40));
        p.drawPath(path);
    }
    p.setPen(QColor(160, 186, 216));
    p.drawLine(0, 65, 688, 65);
    p.setPen(QColor(255, 255, 255));
    p.drawLine(0, 0, 688, 0);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tabvert-art OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const struct {
        const char* name;
        QImage image;
    } pictures[] = {
        {"tabvert.png", Icon(32)},
        {"splash.png", Splash()},
        {"about.png", About()},
        {"toolbar_open.png", ToolbarOpen()},
        {"toolbar_export.png", ToolbarExport()},
        {"toolbar_help.png", ToolbarHelp()},
        {"node_database.png", NodeDatabase()},
        {"node_table.png", NodeTable()},
        {"toolbar_background.png", ToolbarBackground()},
    };
    for (const auto& picture : pictures) {
        const QString path = out.filePath(QString::fromUtf8(picture.name));
        if (!picture.image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return WriteThemeIcons(out) ? 0 : 1;
}
