// The about dialog's picture decoded through libjpeg.
#include "app/widgets/JpegImage.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

using namespace ostrivane;

namespace {

QByteArray ReadPicture() {
    QFile file(OSTRIVANE_SOURCE_DIR "/app/resources/images/oprogramu.jpg");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

bool Near(QRgb actual, QRgb expected, int tolerance = 40) {
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

TEST(JpegImage, ProgramPictureDecodesAtFullSize) {
    QString error;
    const QImage image = DecodeJpeg(ReadPicture(), &error);
    ASSERT_FALSE(image.isNull()) << error.toStdString();
    EXPECT_EQ(image.size(), QSize(732, 726));
    // The picture's features where they were drawn: the sun, the box, the sky at the top.
    EXPECT_TRUE(Near(image.pixel(610, 360), qRgb(0xf5, 0xc5, 0x42)));
    EXPECT_TRUE(Near(image.pixel(200, 600), qRgb(0x8a, 0x5a, 0x2b)));
    EXPECT_TRUE(Near(image.pixel(20, 5), qRgb(0x1d, 0x4e, 0x89)));
}

TEST(JpegImage, TruncatedStreamFailsCleanly) {
    const QByteArray whole = ReadPicture();
    for (const qsizetype length :
         {qsizetype(0), qsizetype(2), qsizetype(300), whole.size() / 2, whole.size() - 10}) {
        QString error;
        EXPECT_TRUE(DecodeJpeg(whole.left(length), &error).isNull()) << length;
        EXPECT_FALSE(error.isEmpty()) << length;
    }
}

TEST(JpegImage, CorruptStreamFailsCleanly) {
    QByteArray data = ReadPicture();
    // Wreck the frame header: an impossible sample precision and zero height.
    const qsizetype sof = data.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    data[sof + 4] = 3;
    data[sof + 5] = 0;
    data[sof + 6] = 0;
    EXPECT_TRUE(DecodeJpeg(data).isNull());

    EXPECT_TRUE(DecodeJpeg(QByteArray("not a picture at all")).isNull());
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) & 0xFF);
    noise[0] = char(0xFF);
    noise[1] = char(0xD8);
    EXPECT_TRUE(DecodeJpeg(noise).isNull());
}

TEST(JpegImage, GreyscalePictureComesOutAsRgb) {
    QImage grey(40, 30, QImage::Format_Grayscale8);
    grey.fill(200);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    ASSERT_TRUE(grey.save(&buffer, "JPG", 95));
    const QImage image = DecodeJpeg(bytes);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(40, 30));
    EXPECT_TRUE(Near(image.pixel(20, 15), qRgb(200, 200, 200), 3));
}

TEST(JpegImage, MissingFileFails) {
    QString error;
    EXPECT_TRUE(LoadJpeg("/nonexistent/picture.jpg", &error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

TEST(JpegImage, StretchFillsTheBoxWithoutKeepingAspect) {
    // A wide picture: left half red, right half blue. Stretched into a square, each half keeps
    // the whole height; a kept aspect ratio would leave bands above and below.
    QImage wide(200, 50, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            wide.setPixel(x, y, qRgb(255, 0, 0));
    const QImage box = StretchToBox(wide, QSize(105, 105));
    ASSERT_EQ(box.size(), QSize(105, 105));
    for (int y : {0, 52, 104}) {
        EXPECT_TRUE(Near(box.pixel(10, y), qRgb(255, 0, 0), 10)) << y;
        EXPECT_TRUE(Near(box.pixel(95, y), qRgb(0, 0, 255), 10)) << y;
    }
}

} // namespace
