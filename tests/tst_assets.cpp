// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The pictures the program and its package carry: the icon container's
// layout as the Windows resource compiler and the window manager read it,
// what the images show, and the background picture.
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtEndian>
#include <QtTest>

#include <cmath>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

quint16 u16(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint32 u32(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

QString iconPng(int size)
{
    return QStringLiteral(VELLWAKE_SOURCE_DIR "/packaging/icons/%1x%1.png").arg(size);
}

struct Census
{
    double red = 0; // share of lit-segment pixels
    double black = 0; // share of opaque near-black pixels
    int redLeft = 1 << 20, redRight = -1;
};

Census census(const QImage &image)
{
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    Census c;
    int red = 0, black = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qAlpha(p) < 200)
                continue;
            if (qRed(p) > 200 && qGreen(p) < 90 && qBlue(p) < 90) {
                ++red;
                c.redLeft = std::min(c.redLeft, x);
                c.redRight = std::max(c.redRight, x);
            } else if (qRed(p) < 40 && qGreen(p) < 40 && qBlue(p) < 40) {
                ++black;
            }
        }
    const double n = img.width() * img.height();
    c.red = red / n;
    c.black = black / n;
    return c;
}

QImage icoImage(int index)
{
    QImageReader reader(QStringLiteral(":/assets/app.ico"));
    if (!reader.jumpToImage(index))
        return {};
    return reader.read();
}

} // namespace

class TestAssets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void icoDirectory_data();
    void icoDirectory();
    void icoImagesShowTheClockFace_data();
    void icoImagesShowTheClockFace();
    void paletteImageMatchesTrueColour();
    void windowsIconGroupHoldsTheSameImages();
    void hicolorIcons_data();
    void hicolorIcons();
    void background_data();
    void background();
    void backgroundIsTheSameAtTwiceTheResolution();
};

void TestAssets::icoDirectory_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("bits");
    QTest::newRow("48 x 48, 256 colours") << 0 << 48 << 8;
    QTest::newRow("32 x 32, 256 colours") << 1 << 32 << 8;
    QTest::newRow("48 x 48, alpha") << 2 << 48 << 32;
    QTest::newRow("32 x 32, alpha") << 3 << 32 << 32;
    QTest::newRow("16 x 16, alpha") << 4 << 16 << 32;
}

void TestAssets::icoDirectory()
{
    QFETCH(int, index);
    QFETCH(int, size);
    QFETCH(int, bits);
    const QByteArray ico = readAll(QStringLiteral(":/assets/app.ico"));
    QVERIFY(ico.size() > 6 + 5 * 16);
    QCOMPARE(u16(ico, 0), 0);
    QCOMPARE(u16(ico, 2), 1); // an icon
    QCOMPARE(u16(ico, 4), 5);

    const qsizetype entry = 6 + 16 * index;
    QCOMPARE(int(quint8(ico[entry])), size);
    QCOMPARE(int(quint8(ico[entry + 1])), size);
    QCOMPARE(u16(ico, entry + 4), 1); // planes
    QCOMPARE(int(u16(ico, entry + 6)), bits);
    const quint32 length = u32(ico, entry + 8);
    const quint32 offset = u32(ico, entry + 12);
    QVERIFY(offset >= 6 + 5 * 16);
    QVERIFY(qsizetype(offset) + qsizetype(length) <= ico.size());

    // The image itself: a bitmap header that agrees with the directory,
    // colour data and the transparency mask that follows it.
    QCOMPARE(u32(ico, offset), 40u);
    QCOMPARE(int(u32(ico, offset + 4)), size);
    QCOMPARE(int(u32(ico, offset + 8)), 2 * size);
    QCOMPARE(int(u16(ico, offset + 14)), bits);
    QCOMPARE(u32(ico, offset + 16), 0u); // uncompressed
    const quint32 colours = bits == 8 ? 256 : 0;
    QCOMPARE(u32(ico, offset + 32), colours);
    const quint32 row = ((size * bits + 31) / 32) * 4;
    const quint32 maskRow = ((size + 31) / 32) * 4;
    QCOMPARE(length, 40 + colours * 4 + (row + maskRow) * size);
}

void TestAssets::icoImagesShowTheClockFace_data()
{
    icoDirectory_data();
}

void TestAssets::icoImagesShowTheClockFace()
{
    QFETCH(int, index);
    QFETCH(int, size);
    const QImage img = icoImage(index);
    QCOMPARE(img.size(), QSize(size, size));
    QVERIFY(img.hasAlphaChannel());
    // Transparent around the rounded case, opaque in the middle.
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(img.pixel(size - 1, size - 1)), 0);
    QCOMPARE(qAlpha(img.pixel(size / 2, size / 2)), 255);
    const Census c = census(img);
    QVERIFY2(c.black > 0.25, qPrintable(QString::number(c.black)));
    QVERIFY2(c.red > 0.08 && c.red < 0.4, qPrintable(QString::number(c.red)));
    // The digits run across most of the face, centred.
    QVERIFY(c.redRight - c.redLeft + 1 >= size * 0.7);
    QVERIFY(std::abs((c.redLeft + c.redRight + 1) - size) <= 2);
}

void TestAssets::paletteImageMatchesTrueColour()
{
    for (const auto &[palette, trueColour] : {std::pair{0, 2}, std::pair{1, 3}}) {
        const QImage a = icoImage(palette).convertToFormat(QImage::Format_ARGB32);
        const QImage b = icoImage(trueColour).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(a.size(), b.size());
        double diff = 0;
        int both = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                // The mask decides half-covered edge pixels.
                QCOMPARE(qAlpha(p) == 255, qAlpha(q) >= 128);
                if (qAlpha(p) == 255 && qAlpha(q) == 255) {
                    diff += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                            + std::abs(qBlue(p) - qBlue(q));
                    ++both;
                }
            }
        QVERIFY(both > a.width() * a.height() / 2);
        QVERIFY2(diff / both < 6, qPrintable(QString::number(diff / both)));
    }
}

// The program file's icon group (assets/app.rc) is written apart from the
// .ico; it must list the same five images, as resources 30001 to 30005.
void TestAssets::windowsIconGroupHoldsTheSameImages()
{
    const QByteArray ico = readAll(QStringLiteral(":/assets/app.ico"));
    const QByteArray group
            = readAll(QStringLiteral(VELLWAKE_SOURCE_DIR "/assets/app_icon/group.bin"));
    QCOMPARE(group.size(), 6 + 5 * 14);
    QCOMPARE(group.left(6), ico.left(6));
    for (int n = 0; n < 5; ++n) {
        const QByteArray entry = ico.mid(6 + 16 * n, 16);
        QCOMPARE(group.mid(6 + 14 * n, 12), entry.left(12));
        const int id = u16(group, 6 + 14 * n + 12);
        QCOMPARE(id, 30001 + n);
        const QByteArray image
                = readAll(QStringLiteral(VELLWAKE_SOURCE_DIR "/assets/app_icon/%1.bin").arg(id));
        QCOMPARE(image.size(), qsizetype(u32(entry, 8)));
        QVERIFY2(image == ico.mid(u32(entry, 12), u32(entry, 8)), qPrintable(QString::number(id)));
    }
}

void TestAssets::hicolorIcons_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("icoIndex"); // the same drawing in the .ico, or -1
    for (const auto &[size, index] :
         {std::pair{16, 4}, {24, -1}, {32, 3}, {48, 2}, {64, -1}, {128, -1}, {256, -1}})
        QTest::addRow("%dpx", size) << size << index;
}

void TestAssets::hicolorIcons()
{
    QFETCH(int, size);
    QFETCH(int, icoIndex);
    const QImage img(iconPng(size));
    QVERIFY2(!img.isNull(), qPrintable(iconPng(size)));
    QCOMPARE(img.size(), QSize(size, size));
    QVERIFY(img.hasAlphaChannel());
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    const Census c = census(img);
    QVERIFY2(c.black > 0.25, qPrintable(QString::number(c.black)));
    QVERIFY2(c.red > 0.05, qPrintable(QString::number(c.red)));
    if (icoIndex >= 0) {
        // The menu shows the very icon the window and the program file carry.
        // Compared as seen, over whatever lies beneath.
        const QImage png = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage ico = icoImage(icoIndex).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(ico.size(), png.size());
        int worst = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QRgb p = png.pixel(x, y), q = ico.pixel(x, y);
                QCOMPARE(qAlpha(p), qAlpha(q));
                if (qAlpha(p) > 0)
                    worst = std::max({worst, std::abs(qRed(p) - qRed(q)),
                                      std::abs(qGreen(p) - qGreen(q)),
                                      std::abs(qBlue(p) - qBlue(q))});
            }
        QVERIFY2(worst <= 2, qPrintable(QString::number(worst)));
    }
}

void TestAssets::background_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("1x") << QStringLiteral(":/assets/background.jpg") << QSize(400, 200);
    QTest::newRow("2x") << QStringLiteral(":/assets/background@2x.jpg") << QSize(800, 400);
}

void TestAssets::background()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage img = reader.read().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(img.size(), size);
    // Soft grey: no colour, light on the whole, some texture but no harsh
    // contrast under the black clock text.
    double sum = 0, sumSq = 0;
    int darkest = 255;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            QVERIFY(std::abs(qRed(p) - qGreen(p)) <= 3 && std::abs(qGreen(p) - qBlue(p)) <= 3);
            sum += qGray(p);
            sumSq += qGray(p) * qGray(p);
            darkest = std::min(darkest, qGray(p));
        }
    const double n = img.width() * img.height();
    const double mean = sum / n;
    const double deviation = std::sqrt(sumSq / n - mean * mean);
    QVERIFY2(mean > 170 && mean < 235, qPrintable(QString::number(mean)));
    QVERIFY2(deviation > 5 && deviation < 35, qPrintable(QString::number(deviation)));
    QVERIFY2(darkest > 120, qPrintable(QString::number(darkest)));
}

void TestAssets::backgroundIsTheSameAtTwiceTheResolution()
{
    const QImage one = QImage(QStringLiteral(":/assets/background.jpg"))
                               .convertToFormat(QImage::Format_Grayscale8);
    const QImage two = QImage(QStringLiteral(":/assets/background@2x.jpg"))
                               .scaled(400, 200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_Grayscale8);
    QCOMPARE(two.size(), one.size());
    double diff = 0;
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x)
            diff += std::abs(qGray(one.pixel(x, y)) - qGray(two.pixel(x, y)));
    QVERIFY2(diff / (400 * 200) < 4, qPrintable(QString::number(diff / (400 * 200))));
}

QTEST_MAIN(TestAssets)
#include "tst_assets.moc"
