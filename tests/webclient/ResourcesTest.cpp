#include "webclient/Resources.h"
#include "WebclientTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace webclient {
namespace {

struct Expected {
    const char* route;
    int id;
    const char* type;
};

// The route table of the web application: every file it serves from the
// embedded client, by route name, resource id and type.
const Expected kTable[] = {
    {"", 3032, "23"}, {"library", 3037, "23"}, {"playlist.css", 3043, "23"},
    {"medialibrary.css", 3087, "23"}, {"httpdeck.js", 3039, "23"}, {"console.js", 3064, "23"},
    {"playlist.js", 3040, "23"}, {"slider.js", 3042, "23"}, {"medialibrary.js", 3074, "23"},
    {"window.js", 3058, "23"}, {"cookie.js", 3059, "23"}, {"json.js", 3099, "23"},
    {"menu.js", 3111, "23"}, {"event.js", 3115, "23"}, {"reach.js", 3150, "23"}, {"listen.js", 3151, "23"},
    {"vlist.js", 3170, "23"}, {"libviews.js", 3171, "23"},
    {"manifest.webmanifest", 3152, "23"}, {"icon192.png", 3153, "PNG"}, {"icon512.png", 3154, "PNG"},
    {"admin", 3140, "23"}, {"admin.js", 3141, "23"}, {"admin.css", 3142, "23"},
    {"live.js", 3160, "23"},
    {"interface.jpg", 3027, "JPEG"}, {"vol_slider.jpg", 3028, "JPEG"}, {"favorites.jpg", 3114, "JPEG"},
    {"fav_on.jpg", 3119, "JPEG"}, {"fav_off.jpg", 3118, "JPEG"}, {"back.jpg", 3120, "JPEG"},
    {"back_gray.jpg", 3121, "JPEG"}, {"forward.jpg", 3122, "JPEG"}, {"forward_gray.jpg", 3123, "JPEG"},
    {"favicon.ico", 3108, "ICO"},
    {"console.gif", 3062, "GIF"}, {"vol_handle.gif", 3018, "GIF"}, {"seek_handle.gif", 3069, "GIF"},
    {"seek_slider.gif", 3068, "GIF"}, {"trash.gif", 3034, "GIF"}, {"waBoxBg.gif", 3053, "GIF"},
    {"waFooterBg.gif", 3061, "GIF"}, {"waFooterLeft.gif", 3070, "GIF"}, {"waResize.gif", 3055, "GIF"},
    {"waPlaylistTitle.gif", 3054, "GIF"}, {"waConsoleTitle.gif", 3051, "GIF"},
    {"waBoxTitleLeft.gif", 3066, "GIF"}, {"waBoxTitleRight.gif", 3067, "GIF"},
    {"waLightOn.gif", 3065, "GIF"}, {"closeBox.gif", 3072, "GIF"}, {"titleML.gif", 3076, "GIF"},
    {"mp3.gif", 3088, "GIF"}, {"folder.gif", 3089, "GIF"}, {"folder_up.gif", 3090, "GIF"},
    {"play.gif", 3091, "GIF"}, {"nq.gif", 3092, "GIF"}, {"nqnext.gif", 3129, "GIF"},
    {"donate.gif", 3093, "GIF"}, {"m3u.gif", 3096, "GIF"}, {"mlconnect.gif", 3098, "GIF"},
    {"plclear.gif", 3100, "GIF"}, {"asc.gif", 3102, "GIF"}, {"desc.gif", 3103, "GIF"},
    {"search.gif", 3104, "GIF"}, {"loading.gif", 3105, "GIF"}, {"delete.gif", 3117, "GIF"},
};

TEST(WebclientResources, EveryRouteOfTheTableIsEmbeddedUnderItsIdAndType)
{
    for (const Expected& e : kTable) {
        SCOPED_TRACE(std::string("route \"") + e.route + "\"");
        const Resource* resource = findResource(e.id, e.type);
        ASSERT_NE(resource, nullptr);
        EXPECT_EQ(resource->id, e.id);
        EXPECT_EQ(resource->type, e.type);
        EXPECT_EQ(resource->route, e.route);
        EXPECT_FALSE(resource->bytes.empty());
        EXPECT_EQ(test::byRoute(e.route), resource);
    }
    // Nothing embedded that no route serves, and no id/type pair twice.
    EXPECT_EQ(allResources().size(), std::size(kTable));
    std::set<std::pair<int, std::string_view>> keys;
    for (const Resource& resource : allResources())
        EXPECT_TRUE(keys.emplace(resource.id, resource.type).second) << resource.id;
}

TEST(WebclientResources, LookupNeedsTheExactIdAndType)
{
    auto check = [](int id, std::string_view type) {
        EXPECT_EQ(findResource(id, type), nullptr) << id << " " << type;
    };
    check(3032, kGifType);   // the main page is no image
    check(3027, kHtmlType);  // interface.jpg is no page
    check(3062, "gif");      // types compare exactly
    check(3062, "");
    check(0, kHtmlType);
    check(3000, kHtmlType);
    check(-3032, kHtmlType);
    EXPECT_NE(findResource(3108, kIcoType), nullptr);
}

TEST(WebclientResources, TypeFollowsTheFileKind)
{
    for (const Resource& resource : allResources()) {
        std::string_view route = resource.route;
        std::string_view ext = route.substr(route.find_last_of('.') == std::string_view::npos
                                                ? route.size()
                                                : route.find_last_of('.') + 1);
        SCOPED_TRACE(std::string(route));
        if (ext == "jpg")
            EXPECT_EQ(resource.type, kJpegType);
        else if (ext == "gif")
            EXPECT_EQ(resource.type, kGifType);
        else if (ext == "ico")
            EXPECT_EQ(resource.type, kIcoType);
        else if (ext == "png")
            EXPECT_EQ(resource.type, kPngType);
        else
            EXPECT_EQ(resource.type, kHtmlType);
    }
}

TEST(WebclientResources, TextResourcesArePlainAscii)
{
    // They go out labelled UTF-8 next to documents in the player's 8-bit code
    // page; plain ASCII reads the same under both.
    for (const Resource& resource : allResources()) {
        if (resource.type != kHtmlType)
            continue;
        for (unsigned char c : resource.bytes) {
            bool printable = c >= 0x20 && c < 0x7f;
            bool layout = c == '\n' || c == '\t';
            if (!printable && !layout) {
                ADD_FAILURE() << "byte " << int(c) << " in \"" << resource.route << "\"";
                break;
            }
        }
    }
}

} // namespace
} // namespace webclient
