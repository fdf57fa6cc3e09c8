// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
//
// Draws the program's pictures: the application icon (one .ico and the
// hicolor PNGs, all from the same drawing) and the cloudy background at 1x
// and 2x. Run through assets/make_images.sh, which builds it on demand.
#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// ---------------------------------------------------------------- the icon

// Segments a..g of a seven-segment digit, in the usual order.
enum Segment { A, B, C, D, E, F, G };
constexpr std::array<std::uint8_t, 10> kDigitSegments = {
        0b0111111, 0b0000110, 0b1011011, 0b1001111, 0b1100110,
        0b1101101, 0b1111101, 0b0000111, 0b1111111, 0b1101111,
};
bool lit(int digit, Segment s)
{
    return kDigitSegments[digit] & (1u << s);
}

// The time the clock face shows; three digits leave room for big segments.
constexpr std::array<int, 3> kShownDigits = {7, 0, 5};

struct Metrics
{
    QRectF body; // the clock's case
    qreal radius; // its corner radius
    qreal rim; // width of the grey rim around the black face
    int digitW, digitH, stroke, gap; // one digit, its segment width, spacing
    QPointF origin; // top left of the first digit
    bool shaped; // bevelled segments, once there are pixels for the bevels
    bool ghosts; // unlit segments faintly visible; they would blur small digits
};

// Integer digit metrics, so that the small sizes land on whole pixels and
// stay sharp; the middle segment must sit exactly halfway.
Metrics metricsFor(int size)
{
    Metrics m{};
    const qreal s = size;
    const qreal margin = size <= 16 ? 0 : std::round(s / 32.0);
    const qreal bodyH = size <= 16 ? 12 : std::round(s * 0.74);
    m.body = QRectF(margin, std::round((s - bodyH) / 2), s - 2 * margin, bodyH);
    m.radius = std::max<qreal>(2, s / 8.0);
    m.rim = std::max<qreal>(1, std::round(s / 20.0));
    m.stroke = std::max(1, int(std::lround(s / 17.0)));
    m.gap = std::max(1, int(std::lround(s / 22.0)));
    if (size <= 16) {
        // The smallest icon is a 3 x 5 pixel font: as simple as digits get.
        m.digitW = 3;
        m.digitH = 5;
    } else {
        // Three digits and the colon fill the face, less a little padding.
        const int pad = std::max(1, int(std::lround(s / 24.0)));
        const int faceW = int(m.body.width() - 2 * m.rim);
        const int faceH = int(m.body.height() - 2 * m.rim);
        m.digitW = (faceW - 2 * pad - 3 * m.gap - m.stroke) / 3;
        m.digitH = std::min(int(std::lround(m.digitW * 1.8)), faceH - 2 * pad);
        if ((m.digitH - m.stroke) % 2 != 0)
            --m.digitH;
    }
    m.shaped = size >= 64;
    m.ghosts = size >= 128;
    // digit gap colon gap digit gap digit
    const int textW = 3 * m.digitW + 3 * m.gap + m.stroke;
    m.origin = QPointF(std::floor((s - textW) / 2.0),
                       std::round(m.body.center().y() - m.digitH / 2.0));
    return m;
}

// A bevelled segment between two points along one axis.
QPolygonF bevelled(QPointF from, QPointF to, qreal w)
{
    const bool horizontal = from.y() == to.y();
    const qreal h = w / 2;
    const qreal inset = w * 0.12; // a hair of dark between segments
    if (horizontal) {
        const qreal x0 = from.x() + inset, x1 = to.x() - inset, y = from.y();
        return QPolygonF({{x0, y},
                          {x0 + h, y - h},
                          {x1 - h, y - h},
                          {x1, y},
                          {x1 - h, y + h},
                          {x0 + h, y + h}});
    }
    const qreal y0 = from.y() + inset, y1 = to.y() - inset, x = from.x();
    return QPolygonF(
            {{x, y0}, {x + h, y0 + h}, {x + h, y1 - h}, {x, y1}, {x - h, y1 - h}, {x - h, y0 + h}});
}

void drawDigit(QPainter &p, const Metrics &m, QPointF at, int digit)
{
    const qreal w = m.digitW, h = m.digitH, t = m.stroke;
    const qreal mid = (h - t) / 2;
    const QColor on(0xff, 0x24, 0x1c);
    const QColor off(0x14, 0x02, 0x02);
    if (m.shaped) {
        // Centre lines of the segments; the bevels meet at the corners.
        const qreal l = at.x() + t / 2, r = at.x() + w - t / 2;
        const qreal top = at.y() + t / 2, cy = at.y() + h / 2, bottom = at.y() + h - t / 2;
        const std::array<QPolygonF, 7> seg = {
                bevelled({l, top}, {r, top}, t),   bevelled({r, top}, {r, cy}, t),
                bevelled({r, cy}, {r, bottom}, t), bevelled({l, bottom}, {r, bottom}, t),
                bevelled({l, cy}, {l, bottom}, t), bevelled({l, top}, {l, cy}, t),
                bevelled({l, cy}, {r, cy}, t),
        };
        for (int s = A; s <= G; ++s) {
            if (!lit(digit, Segment(s)) && !m.ghosts)
                continue;
            p.setBrush(lit(digit, Segment(s)) ? on : off);
            p.drawPolygon(seg[s]);
        }
        return;
    }
    // Plain bars on the pixel grid for the small sizes.
    const qreal x = at.x(), y = at.y();
    const std::array<QRectF, 7> seg = {
            QRectF(x, y, w, t),
            QRectF(x + w - t, y, t, mid + t),
            QRectF(x + w - t, y + mid, t, h - mid),
            QRectF(x, y + h - t, w, t),
            QRectF(x, y + mid, t, h - mid),
            QRectF(x, y, t, mid + t),
            QRectF(x, y + mid, w, t),
    };
    p.setBrush(on);
    for (int s = A; s <= G; ++s)
        if (lit(digit, Segment(s)))
            p.drawRect(seg[s]);
}

QImage drawIcon(int size)
{
    const Metrics m = metricsFor(size);
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // Case: a grey rim, lighter at the top, around a black face.
    QLinearGradient rim(m.body.topLeft(), m.body.bottomLeft());
    rim.setColorAt(0, QColor(0x8a, 0x8a, 0x8a));
    rim.setColorAt(1, QColor(0x3a, 0x3a, 0x3a));
    p.setBrush(rim);
    p.drawRoundedRect(m.body, m.radius, m.radius);
    const QRectF face = m.body.adjusted(m.rim, m.rim, -m.rim, -m.rim);
    const qreal faceRadius = std::max<qreal>(1, m.radius - m.rim);
    p.setBrush(Qt::black);
    p.drawRoundedRect(face, faceRadius, faceRadius);
    if (m.shaped) {
        // A faint glass sheen over the upper half of the face.
        QLinearGradient sheen(face.topLeft(), QPointF(face.left(), face.center().y()));
        sheen.setColorAt(0, QColor(255, 255, 255, 34));
        sheen.setColorAt(1, QColor(255, 255, 255, 0));
        QPainterPath upper;
        upper.addRoundedRect(face, faceRadius, faceRadius);
        QPainterPath half;
        half.addRect(QRectF(face.topLeft(), QPointF(face.right(), face.center().y())));
        p.setBrush(sheen);
        p.drawPath(upper.intersected(half));
    }

    QPointF at = m.origin;
    drawDigit(p, m, at, kShownDigits[0]);
    at.rx() += m.digitW + m.gap;
    // Colon: two dots at a third and two thirds of the digit height.
    p.setBrush(QColor(0xff, 0x24, 0x1c));
    const qreal t = m.stroke;
    const qreal dotY1 = std::round(m.origin.y() + m.digitH / 3.0 - t / 2);
    const qreal dotY2 = std::round(m.origin.y() + 2 * m.digitH / 3.0 - t / 2);
    if (size <= 16) {
        p.drawRect(QRectF(at.x(), m.origin.y() + 1, t, t));
        p.drawRect(QRectF(at.x(), m.origin.y() + m.digitH - 2, t, t));
    } else {
        p.drawRect(QRectF(at.x(), dotY1, t, t));
        p.drawRect(QRectF(at.x(), dotY2, t, t));
    }
    at.rx() += t + m.gap;
    drawDigit(p, m, at, kShownDigits[1]);
    at.rx() += m.digitW + m.gap;
    drawDigit(p, m, at, kShownDigits[2]);
    return img;
}

// ----------------------------------------------------- the .ico container

void put16(QByteArray &out, std::uint16_t v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}
void put32(QByteArray &out, std::uint32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// The 1-bit mask that follows every image in an icon: set where the pixel
// is transparent. Rows run bottom-up and are padded to 32 bits.
void putMask(QByteArray &out, const QImage &opaque)
{
    const int rowBytes = ((opaque.width() + 31) / 32) * 4;
    for (int y = opaque.height() - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < opaque.width(); ++x)
            if (qAlpha(opaque.pixel(x, y)) < 128)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out.append(row);
    }
}

void putInfoHeader(QByteArray &out, int size, int bits, int colours)
{
    const int rowBytes = ((size * bits + 31) / 32) * 4;
    const int maskBytes = ((size + 31) / 32) * 4 * size;
    put32(out, 40);
    put32(out, std::uint32_t(size));
    put32(out, std::uint32_t(2 * size)); // image and mask stacked
    put16(out, 1);
    put16(out, std::uint16_t(bits));
    put32(out, 0); // uncompressed
    put32(out, std::uint32_t(rowBytes * size + maskBytes));
    put32(out, 0);
    put32(out, 0);
    put32(out, std::uint32_t(colours));
    put32(out, 0);
}

QByteArray dib32(const QImage &argb)
{
    QByteArray out;
    putInfoHeader(out, argb.width(), 32, 0);
    for (int y = argb.height() - 1; y >= 0; --y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = argb.pixel(x, y);
            out.append(char(qBlue(c)));
            out.append(char(qGreen(c)));
            out.append(char(qRed(c)));
            out.append(char(qAlpha(c)));
        }
    putMask(out, argb);
    return out;
}

// A 256-colour image: only on/off transparency, so half-covered edge
// pixels are decided by the mask and keep their own colour.
QByteArray dib8(const QImage &argb)
{
    QImage rgb(argb.size(), QImage::Format_RGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = argb.pixel(x, y);
            rgb.setPixel(x, y, qAlpha(c) < 128 ? qRgb(0, 0, 0) : (c | 0xff000000u));
        }
    const QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QByteArray out;
    putInfoHeader(out, argb.width(), 8, 256);
    const QList<QRgb> table = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < table.size() ? table[i] : 0;
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
        out.append('\0');
    }
    const int rowBytes = ((argb.width() + 3) / 4) * 4;
    for (int y = indexed.height() - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < indexed.width(); ++x)
            row[x] = char(indexed.pixelIndex(x, y));
        out.append(row);
    }
    putMask(out, argb);
    return out;
}

struct IconImage
{
    int size;
    int bits;
};
// The order the program file's icon group lists them in, with resource ids
// counting up from kFirstIconResourceId.
constexpr int kFirstIconResourceId = 30001;
constexpr std::array<IconImage, 5> kIconImages = {{
        {48, 8},
        {32, 8},
        {48, 32},
        {32, 32},
        {16, 32},
}};

// The icon's images, in the order the program file's icon group lists them.
std::vector<QByteArray> iconDibs()
{
    std::vector<QByteArray> dibs;
    for (const IconImage &i : kIconImages) {
        const QImage img = drawIcon(i.size);
        dibs.push_back(i.bits == 8 ? dib8(img) : dib32(img));
    }
    return dibs;
}

// An icon directory: the .ico file's (16-byte entries with the file offset)
// or a Windows resource icon group's (14-byte entries with the image's
// resource id).
QByteArray iconDirectory(const std::vector<QByteArray> &dibs, bool group)
{
    QByteArray out;
    put16(out, 0);
    put16(out, 1); // an icon, not a cursor
    put16(out, std::uint16_t(dibs.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(dibs.size());
    for (std::size_t n = 0; n < dibs.size(); ++n) {
        const IconImage &i = kIconImages[n];
        out.append(char(i.size));
        out.append(char(i.size));
        out.append('\0'); // 256 colours and more are written as 0
        out.append('\0');
        put16(out, 1);
        put16(out, std::uint16_t(i.bits));
        put32(out, std::uint32_t(dibs[n].size()));
        if (group) {
            put16(out, std::uint16_t(kFirstIconResourceId + n));
        } else {
            put32(out, offset);
            offset += std::uint32_t(dibs[n].size());
        }
    }
    return out;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) {
        std::fprintf(stderr, "make_images: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

// ------------------------------------------------------ the background

// Smooth value noise from a fixed hash, so every run draws the same sky.
double lattice(int x, int y, int octave)
{
    std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u
            + std::uint32_t(octave) * 2246822519u + 7u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffffff) / double(0xffffff);
}

double smooth(double t)
{
    return t * t * t * (t * (t * 6 - 15) + 10);
}

double valueNoise(double x, double y, int octave)
{
    const int xi = int(std::floor(x)), yi = int(std::floor(y));
    const double fx = smooth(x - xi), fy = smooth(y - yi);
    const double a = lattice(xi, yi, octave), b = lattice(xi + 1, yi, octave);
    const double c = lattice(xi, yi + 1, octave), d = lattice(xi + 1, yi + 1, octave);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

// Clouds in picture coordinates of the 400 x 200 picture; `scale` only says
// how fine the finest octave may be, so 1x and 2x show the same clouds.
QImage drawClouds(int scale)
{
    const int w = 400 * scale, h = 200 * scale;
    QImage img(w, h, QImage::Format_Grayscale8);
    for (int py = 0; py < h; ++py) {
        uchar *line = img.scanLine(py);
        for (int px = 0; px < w; ++px) {
            const double x = (px + 0.5) / scale, y = (py + 0.5) / scale;
            double sum = 0, norm = 0, amp = 1, freq = 1.0 / 96;
            for (int o = 0; 1.0 / freq >= 2.5 / scale; ++o) {
                sum += amp * valueNoise(x * freq, y * freq * 1.6, o);
                norm += amp;
                amp *= 0.52;
                freq *= 2;
            }
            double v = sum / norm; // about 0.2 .. 0.8
            v = std::clamp((v - 0.28) / 0.48, 0.0, 1.0);
            v = v * v * (3 - 2 * v); // billows: soft light tops, grey hollows
            line[px] = uchar(std::lround(176 + 58 * v));
        }
    }
    return img;
}

bool save(const QImage &img, const QString &path, const char *format, int quality = -1)
{
    if (!img.save(path, format, quality)) {
        std::fprintf(stderr, "make_images: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_images <source tree>\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    bool ok = true;

    const std::vector<QByteArray> dibs = iconDibs();
    QByteArray ico = iconDirectory(dibs, false);
    for (const QByteArray &d : dibs)
        ico.append(d);
    ok &= writeFile(root.filePath(QStringLiteral("assets/app.ico")), ico);
    // The same images as separate resources for assets/app.rc, which cannot
    // give them ids of its own choosing when it reads an .ico.
    root.mkpath(QStringLiteral("assets/app_icon"));
    ok &= writeFile(root.filePath(QStringLiteral("assets/app_icon/group.bin")),
                    iconDirectory(dibs, true));
    for (std::size_t n = 0; n < dibs.size(); ++n)
        ok &= writeFile(root.filePath(QStringLiteral("assets/app_icon/%1.bin")
                                              .arg(kFirstIconResourceId + int(n))),
                        dibs[n]);

    root.mkpath(QStringLiteral("assets/icons"));
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        ok &= save(drawIcon(size),
                   root.filePath(QStringLiteral("assets/icons/%1x%1.png").arg(size)), "PNG");

    ok &= save(drawClouds(1), root.filePath(QStringLiteral("assets/background.jpg")), "JPEG", 90);
    ok &= save(drawClouds(2), root.filePath(QStringLiteral("assets/background@2x.jpg")), "JPEG",
               90);
    return ok ? 0 : 1;
}
