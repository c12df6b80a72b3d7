// Images scaled with the system's imaging codecs, from images made with
// ffmpeg when the tests were built (make_media.py); the test runs in their
// folder. Sizes and formats of the results are read back with the same
// codecs.
#include "library/ImageScaler.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

namespace {

using Microsoft::WRL::ComPtr;

std::string contentOf(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// The media type the bytes' signature tells.
std::string typeOf(const std::string& bytes)
{
    if (bytes.starts_with("\xFF\xD8\xFF"))
        return "image/jpeg";
    if (bytes.starts_with("\x89PNG\r\n"))
        return "image/png";
    if (bytes.size() >= 12 && bytes.starts_with("RIFF") && bytes.compare(8, 4, "WEBP") == 0)
        return "image/webp";
    return {};
}

class WindowsImages : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_TRUE(SUCCEEDED(
            CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))));
    }
    void TearDown() override
    {
        factory.Reset();
        CoUninitialize();
    }

    /// The width and height `bytes` decode to; zeros when they do not.
    std::pair<UINT, UINT> sizeOf(const std::string& bytes)
    {
        ComPtr<IWICStream> stream;
        ComPtr<IWICBitmapDecoder> decoder;
        ComPtr<IWICBitmapFrameDecode> frame;
        UINT width = 0;
        UINT height = 0;
        if (FAILED(factory->CreateStream(&stream)) ||
            FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                                static_cast<DWORD>(bytes.size()))) ||
            FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                    &decoder)) ||
            FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&width, &height)))
            return {0, 0};
        return {width, height};
    }

    bool hasWebP()
    {
        ComPtr<IWICBitmapDecoder> decoder;
        return SUCCEEDED(factory->CreateDecoder(GUID_ContainerFormatWebp, nullptr, &decoder));
    }

    ComPtr<IWICImagingFactory> factory;
};

TEST_F(WindowsImages, ScaledKeptOrRefused)
{
    const bool webp = hasWebP();
    std::printf("note: this system has %s WebP codec\n", webp ? "a" : "no");
    const std::string png = contentOf("small.png");
    ASSERT_FALSE(png.empty()) << "run in the folder make_media.py filled";
    struct Case {
        std::string name;
        std::string bytes;
        int side;
        const char* type;  // nullptr: refused
        std::pair<UINT, UINT> size{};
        bool asItCame = false;
    };
    const Case cases[] = {
        {"photo.jpg", contentOf("photo.jpg"), 512, "image/jpeg", {512, 256}},
        {"photo.jpg", contentOf("photo.jpg"), 128, "image/jpeg", {128, 64}},
        {"small.jpg", contentOf("small.jpg"), 512, "image/jpeg", {300, 200}, true},
        {"small.png", png, 128, "image/png", {90, 90}, true},
        {"picture.bmp", contentOf("picture.bmp"), 512, "image/jpeg", {512, 384}},
        {"picture.bmp", contentOf("picture.bmp"), 1000, "image/jpeg", {640, 480}},
        {"clear.png", contentOf("clear.png"), 128, "image/png", {128, 64}},
        {"clear.webp", contentOf("clear.webp"), 512, webp ? "image/webp" : nullptr, {300, 150}, true},
        {"clear.webp", contentOf("clear.webp"), 128, webp ? "image/png" : nullptr, {128, 64}},
        {"bomb.png", contentOf("bomb.png"), 512, nullptr},
        {"half a PNG", png.substr(0, png.size() / 2), 512, nullptr},
        {"words", "not an image at all", 512, nullptr},
        {"nothing", "", 512, nullptr},
        {"no side", png, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " at " + std::to_string(c.side));
        ASSERT_FALSE(c.bytes.empty() && c.name != "nothing");
        const std::optional<library::ScaledImage> scaled = library::scaleImage(c.bytes, c.side);
        ASSERT_EQ(scaled.has_value(), c.type != nullptr);
        if (!scaled)
            continue;
        EXPECT_EQ(scaled->mediaType, c.type);
        EXPECT_EQ(sizeOf(scaled->bytes), c.size);
        EXPECT_EQ(typeOf(scaled->bytes), c.type);
        EXPECT_EQ(scaled->bytes == c.bytes, c.asItCame);
    }
}

} // namespace
