// Decoding of JPEG pictures with libjpeg into QImage, for the pictures the program carries in
// its resources.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace ostrivane {

// Decodes a whole JPEG stream into an RGB image. A damaged, truncated or unsupported stream
// gives a null image and, when `error` is given, libjpeg's description of the fault.
QImage DecodeJpeg(const QByteArray& data, QString* error = nullptr);

// Reads a file or a resource (":/...") and decodes it as above.
QImage LoadJpeg(const QString& path, QString* error = nullptr);

// The picture stretched to exactly `box`, aspect ratio not kept, as a picture box that stretches
// its contents shows it.
QImage StretchToBox(const QImage& image, QSize box);

} // namespace ostrivane
