#include "library/ImageScaler.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

namespace library {
namespace {

/// The media type of a format Qt names, when an image in it may be sent as it came.
std::string sendableType(const QByteArray& format)
{
    if (format == "jpeg" || format == "jpg")
        return "image/jpeg";
    if (format == "png")
        return "image/png";
    if (format == "webp")
        return "image/webp";
    return {};
}

std::optional<ScaledImage> encoded(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool transparent = image.hasAlphaChannel();
    // JPEG at 85 keeps a cover looking as it did at a tenth of PNG's size.
    if (!image.save(&buffer, transparent ? "PNG" : "JPEG", transparent ? -1 : 85))
        return std::nullopt;
    return ScaledImage{std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                       transparent ? "image/png" : "image/jpeg"};
}

} // namespace

std::optional<ScaledImage> scaleImage(std::string_view encodedBytes, int maximumSide)
{
    if (encodedBytes.empty() || maximumSide <= 0)
        return std::nullopt;
    // Borrows the bytes: no copy of a large picture.
    const QByteArray data = QByteArray::fromRawData(encodedBytes.data(), static_cast<qsizetype>(encodedBytes.size()));
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A photo taken on its side is turned upright before it is scaled.
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return std::nullopt;
    const auto pixels = static_cast<std::uint64_t>(size.width()) * static_cast<std::uint64_t>(size.height());
    if (pixels > maximumImagePixels)
        return std::nullopt;

    const bool fits = size.width() <= maximumSide && size.height() <= maximumSide;
    const std::string type = sendableType(reader.format());
    if (!fits)
        // The JPEG reader decodes straight to a fraction of the size, which is
        // most of the time a large cover costs.
        reader.setScaledSize(size.scaled(maximumSide, maximumSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    if (fits && !type.empty())
        return ScaledImage{std::string(encodedBytes), type};
    if (image.width() > maximumSide || image.height() > maximumSide)
        image = image.scaled(maximumSide, maximumSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return encoded(image);
}

void prepareImageScaling()
{
    // Listing the formats makes an instance of every format plug-in.
    static const bool ready = [] {
        QImageReader::supportedImageFormats();
        QImageWriter::supportedImageFormats();
        return true;
    }();
    (void)ready;
}

} // namespace library
