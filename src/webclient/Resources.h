#pragma once

#include <span>
#include <string_view>

namespace webclient {

/// Resource types. Pages, scripts and style sheets have the standard HTML
/// resource type, written as its number; images have custom types named by
/// their format. Types compare exactly, byte for byte.
inline constexpr std::string_view kHtmlType = "23";
inline constexpr std::string_view kJpegType = "JPEG";
inline constexpr std::string_view kGifType = "GIF";
inline constexpr std::string_view kIcoType = "ICO";
inline constexpr std::string_view kPngType = "PNG";

/// One embedded file of the browser client. The views point into constant
/// data compiled into the program: valid for its whole life, never freed,
/// safe to read from any thread.
struct Resource {
    int id;                  ///< resource id (the 3000s)
    std::string_view type;   ///< kHtmlType, kJpegType, kGifType, kIcoType or kPngType
    std::string_view bytes;  ///< the file, unchanged: templates keep their <<NAME>> placeholders
    std::string_view route;  ///< the route name that serves it; empty for the main page
    bool isTemplate;         ///< sent with its <<NAME>> placeholders filled in, else unchanged
};

/// The resource of this id and type, or nullptr when there is none.
/// Thread-safe.
const Resource* findResource(int id, std::string_view type);

/// Every embedded resource, in the order of resources.txt: the list the web
/// application makes its file routes from. Thread-safe.
std::span<const Resource> allResources();

} // namespace webclient
