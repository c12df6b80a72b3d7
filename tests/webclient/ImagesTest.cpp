#include "webclient/Resources.h"
#include "WebclientTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace webclient {
namespace {

struct Size {
    int width;
    int height;
};

unsigned byteAt(std::string_view bytes, size_t at)
{
    return static_cast<unsigned char>(bytes[at]);
}

unsigned le16(std::string_view bytes, size_t at)
{
    return byteAt(bytes, at) | byteAt(bytes, at + 1) << 8;
}

unsigned be16(std::string_view bytes, size_t at)
{
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

uint32_t le32(std::string_view bytes, size_t at)
{
    return le16(bytes, at) | uint32_t(le16(bytes, at + 2)) << 16;
}

/// The logical screen of a GIF, when the header is sound and the stream ends
/// with the trailer byte.
std::optional<Size> gifSize(std::string_view bytes)
{
    if (bytes.size() < 14 || (bytes.substr(0, 6) != "GIF87a" && bytes.substr(0, 6) != "GIF89a"))
        return std::nullopt;
    if (byteAt(bytes, bytes.size() - 1) != 0x3b)
        return std::nullopt;
    return Size{int(le16(bytes, 6)), int(le16(bytes, 8))};
}

/// The frame size of a JPEG, found by walking its marker segments to the
/// first start-of-frame; the stream must start with SOI and end with EOI.
std::optional<Size> jpegSize(std::string_view bytes)
{
    if (bytes.size() < 4 || byteAt(bytes, 0) != 0xff || byteAt(bytes, 1) != 0xd8 || byteAt(bytes, 2) != 0xff)
        return std::nullopt;
    if (byteAt(bytes, bytes.size() - 2) != 0xff || byteAt(bytes, bytes.size() - 1) != 0xd9)
        return std::nullopt;
    size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (byteAt(bytes, at) != 0xff)
            return std::nullopt;
        unsigned marker = byteAt(bytes, at + 1);
        unsigned length = be16(bytes, at + 2);
        bool startOfFrame = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (startOfFrame) {
            if (at + 9 > bytes.size())
                return std::nullopt;
            return Size{int(be16(bytes, at + 7)), int(be16(bytes, at + 5))};
        }
        at += 2 + length;
    }
    return std::nullopt;
}

/// The largest image of an icon file, when every directory entry points
/// inside the file.
std::optional<Size> icoSize(std::string_view bytes)
{
    if (bytes.size() < 6 || bytes.substr(0, 4) != std::string_view("\0\0\1\0", 4))
        return std::nullopt;
    unsigned count = le16(bytes, 4);
    if (count == 0 || 6 + 16 * size_t(count) > bytes.size())
        return std::nullopt;
    Size largest{0, 0};
    for (unsigned i = 0; i < count; ++i) {
        size_t entry = 6 + 16 * size_t(i);
        int width = byteAt(bytes, entry) ? int(byteAt(bytes, entry)) : 256;
        int height = byteAt(bytes, entry + 1) ? int(byteAt(bytes, entry + 1)) : 256;
        uint32_t length = le32(bytes, entry + 8);
        uint32_t offset = le32(bytes, entry + 12);
        if (length == 0 || offset < 6 + 16 * count || uint64_t(offset) + length > bytes.size())
            return std::nullopt;
        if (width > largest.width)
            largest = Size{width, height};
    }
    return largest;
}

/// The size in the header chunk of a PNG, when the file starts with the
/// signature and that chunk and ends with the end chunk.
std::optional<Size> pngSize(std::string_view bytes)
{
    constexpr std::string_view signature("\x89PNG\r\n\x1a\n", 8);
    constexpr std::string_view end("IEND\xae\x42\x60\x82", 8);
    if (bytes.size() < 33 + 12 || bytes.substr(0, 8) != signature || bytes.substr(12, 4) != "IHDR" ||
        bytes.substr(bytes.size() - 8) != end)
        return std::nullopt;
    auto be32 = [&](size_t at) { return int(be16(bytes, at) << 16 | be16(bytes, at + 2)); };
    return Size{be32(16), be32(20)};
}

std::optional<Size> imageSize(const Resource& resource)
{
    if (resource.type == kPngType)
        return pngSize(resource.bytes);
    if (resource.type == kGifType)
        return gifSize(resource.bytes);
    if (resource.type == kJpegType)
        return jpegSize(resource.bytes);
    if (resource.type == kIcoType)
        return icoSize(resource.bytes);
    return std::nullopt;
}

TEST(WebclientImages, EveryImageIsAWellFormedFileOfItsType)
{
    int images = 0;
    for (const Resource& resource : allResources()) {
        if (resource.type == kHtmlType)
            continue;
        ++images;
        SCOPED_TRACE(std::string(resource.route));
        std::optional<Size> size = imageSize(resource);
        ASSERT_TRUE(size.has_value());
        EXPECT_GE(size->width, 1);
        EXPECT_GE(size->height, 1);
        EXPECT_LE(size->width, 1024);
        EXPECT_LE(size->height, 1024);
    }
    EXPECT_EQ(images, 43);
}

TEST(WebclientImages, ProbesRejectDamagedFiles)
{
    // The probes above must not pass anything: each damage is caught.
    std::string gif(findResource(3088, kGifType)->bytes);
    EXPECT_TRUE(gifSize(gif).has_value());
    EXPECT_FALSE(gifSize("GIF89b" + gif.substr(6)).has_value());
    EXPECT_FALSE(gifSize(gif.substr(0, gif.size() - 1)).has_value());

    std::string jpeg(findResource(3120, kJpegType)->bytes);
    EXPECT_TRUE(jpegSize(jpeg).has_value());
    EXPECT_FALSE(jpegSize(jpeg.substr(0, jpeg.size() / 2)).has_value());
    EXPECT_FALSE(jpegSize("\x89PNG" + jpeg.substr(4)).has_value());

    std::string ico(findResource(3108, kIcoType)->bytes);
    EXPECT_TRUE(icoSize(ico).has_value());
    EXPECT_FALSE(icoSize(ico.substr(0, ico.size() - 10)).has_value());
    EXPECT_FALSE(icoSize(std::string("\0\0\2\0", 4) + ico.substr(4)).has_value());

    std::string png(findResource(3153, kPngType)->bytes);
    EXPECT_TRUE(pngSize(png).has_value());
    EXPECT_FALSE(pngSize(png.substr(0, png.size() - 1)).has_value());
    EXPECT_FALSE(pngSize("\x89PNH" + png.substr(4)).has_value());
}

TEST(WebclientImages, LayoutImagesHaveTheSizesTheStyleSheetsPlaceThemBy)
{
    // playlist.css positions the console's parts on these images; a redrawn
    // image of another size would misplace buttons, lights and sliders.
    struct Geometry {
        const char* route;
        int width;
        int height;
    };
    const Geometry layout[] = {
        {"interface.jpg", 360, 158}, {"console.gif", 340, 34}, {"seek_slider.gif", 340, 10},
        {"seek_handle.gif", 14, 14}, {"vol_slider.jpg", 120, 14}, {"vol_handle.gif", 8, 16},
        {"waLightOn.gif", 8, 8},     {"waBoxTitleLeft.gif", 12, 22}, {"waBoxTitleRight.gif", 12, 22},
        {"waFooterBg.gif", 8, 22},   {"favicon.ico", 32, 32},   {"icon192.png", 192, 192},
        {"icon512.png", 512, 512},
    };
    for (const Geometry& g : layout) {
        SCOPED_TRACE(g.route);
        const Resource* resource = test::byRoute(g.route);
        ASSERT_NE(resource, nullptr);
        std::optional<Size> size = imageSize(*resource);
        ASSERT_TRUE(size.has_value());
        EXPECT_EQ(size->width, g.width);
        EXPECT_EQ(size->height, g.height);
    }
}

TEST(WebclientImages, LoadingIndicatorIsAnimated)
{
    // More than one image descriptor (0x2c after a graphic control block).
    std::string_view gif = findResource(3105, kGifType)->bytes;
    size_t frames = 0;
    for (size_t at = gif.find("\x21\xf9\x04"); at != std::string_view::npos; at = gif.find("\x21\xf9\x04", at + 1)) {
        if (at + 8 < gif.size() && byteAt(gif, at + 8) == 0x2c)
            ++frames;
    }
    EXPECT_GE(frames, 4u);
}

} // namespace
} // namespace webclient
