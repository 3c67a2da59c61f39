#include "app/widgets/JpegImage.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace ostrivane {

namespace {

// Larger pictures are refused instead of allocating gigabytes for a hostile header.
constexpr JDIMENSION kMaxSide = 16384;

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back to
// the frame that set `jump`. That frame holds only trivially destructible locals, so the jump
// skips no destructor. Warnings (such as a stream that ends early) are remembered, because the
// library would otherwise hand back a picture padded with grey.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool warned;
};

[[noreturn]] void ExitOnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, manager->message);
    std::longjmp(manager->jump, 1);
}

void RecordMessage(j_common_ptr info, int level) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    if (level < 0 && !manager->warned) {
        manager->warned = true;
        info->err->format_message(info, manager->message);
    }
}

// Owns the decompressor: jpeg_destroy_decompress runs on every way out, also after a jump.
struct Decompressor {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    bool created = false;

    Decompressor() = default;
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    ~Decompressor() {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

// The decoding proper. Everything that outlives a jump lives in `d` and `image`, owned by the
// caller; this function keeps no object with a destructor of its own.
bool DecodeInto(Decompressor& d, const unsigned char* bytes, unsigned long size, QImage& image) {
    d.info.err = jpeg_std_error(&d.errors.base);
    d.errors.base.error_exit = ExitOnError;
    d.errors.base.emit_message = RecordMessage;
    if (setjmp(d.errors.jump) != 0)
        return false;

    jpeg_create_decompress(&d.info);
    d.created = true;
    jpeg_mem_src(&d.info, bytes, size);
    jpeg_read_header(&d.info, TRUE);
    if (d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK) {
        std::snprintf(d.errors.message, sizeof d.errors.message, "CMYK pictures are not supported");
        return false;
    }
    if (d.info.image_width > kMaxSide || d.info.image_height > kMaxSide) {
        std::snprintf(d.errors.message, sizeof d.errors.message, "picture of %ux%u is too large",
                      d.info.image_width, d.info.image_height);
        return false;
    }
    d.info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d.info);
    if (d.info.output_components != 3)
        return false;

    image = QImage(static_cast<int>(d.info.output_width), static_cast<int>(d.info.output_height),
                   QImage::Format_RGB888);
    if (image.isNull()) {
        std::snprintf(d.errors.message, sizeof d.errors.message, "out of memory");
        return false;
    }
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(d.info.output_scanline));
        jpeg_read_scanlines(&d.info, &row, 1);
    }
    jpeg_finish_decompress(&d.info);
    return !d.errors.warned;
}

} // namespace

QImage DecodeJpeg(const QByteArray& data, QString* error) {
    Decompressor decompressor;
    QImage image;
    const bool ok =
        DecodeInto(decompressor, reinterpret_cast<const unsigned char*>(data.constData()),
                   static_cast<unsigned long>(data.size()), image);
    if (ok)
        return image;
    if (error)
        *error = QString::fromLocal8Bit(decompressor.errors.message);
    return {};
}

QImage LoadJpeg(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    return DecodeJpeg(file.readAll(), error);
}

QImage StretchToBox(const QImage& image, QSize box) {
    if (image.isNull() || box.isEmpty())
        return {};
    return image.scaled(box, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace ostrivane
