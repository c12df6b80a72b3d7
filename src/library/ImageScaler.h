#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace library {

/// An encoded image ready to send.
struct ScaledImage {
    std::string bytes;
    /// "image/jpeg", "image/png" or "image/webp".
    std::string mediaType;
};

/// Images with more pixels than this are not decoded (a bomb of a few bytes
/// could ask for gigabytes).
inline constexpr std::uint64_t maximumImagePixels = 40'000'000;

/// Decodes `encoded` (JPEG, PNG or WebP; GIF and BMP too) and gives it at
/// most `maximumSide` pixels on either side: an image already that small in
/// one of the three sendable formats is given back as it came, any other is
/// scaled down (aspect kept) and written as JPEG, or as PNG when it has
/// transparency. Nothing when the bytes are no image, the image is broken or
/// has more than `maximumImagePixels` pixels.
///
/// The one place that knows the image library (Qt's image classes and their
/// format plug-ins here); another platform supplies its own definition.
/// Any thread, several at once; nothing throws.
std::optional<ScaledImage> scaleImage(std::string_view encoded, int maximumSide);

/// Readies the image library on the calling thread, which must live until
/// the process ends (the thread that makes the media library: the player's
/// own). Qt's format plug-ins belong to the thread that first loads them; a
/// serving thread that loaded them and then ended leaves them to be
/// destroyed at exit against that thread's freed state, which corrupted the
/// heap at quit. Any number of calls; the first does the work.
void prepareImageScaling();

} // namespace library
