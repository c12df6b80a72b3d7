// Images decoded, scaled and encoded with the Windows Imaging Component, the
// system's own codecs (JPEG, PNG, GIF, BMP everywhere; WebP where the system
// has that codec). COM is started for the call when the thread has not
// started it; every interface is held by a ComPtr.
#include "library/ImageScaler.h"

#include "library/ImageOrientation.h"

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>

namespace library {
namespace {

using Microsoft::WRL::ComPtr;

/// COM on the calling thread for as long as it lives: started when the
/// thread had not started it, left as it was when it had (in any mode).
class ComScope {
public:
    ComScope() : started(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComScope()
    {
        if (started)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool started;
};

/// A PROPVARIANT cleared when it goes.
class PropVariant {
public:
    PropVariant() { PropVariantInit(&value); }
    ~PropVariant() { PropVariantClear(&value); }
    PropVariant(const PropVariant&) = delete;
    PropVariant& operator=(const PropVariant&) = delete;
    PROPVARIANT* get() { return &value; }
    const PROPVARIANT& operator*() const { return value; }

private:
    PROPVARIANT value;
};

/// The EXIF orientation in the frame's metadata (JPEG's APP1, or TIFF's own
/// directory); 1, as stored, when there is none.
int orientationOf(IWICBitmapFrameDecode* frame)
{
    ComPtr<IWICMetadataQueryReader> metadata;
    if (FAILED(frame->GetMetadataQueryReader(&metadata)))
        return 1;
    for (const wchar_t* query : {L"/app1/ifd/{ushort=274}", L"/ifd/{ushort=274}"}) {
        PropVariant value;
        if (SUCCEEDED(metadata->GetMetadataByName(query, value.get())) && (*value).vt == VT_UI2)
            return (*value).uiVal;
    }
    return 1;
}

/// The media type of a container, when an image in it may be sent as it came.
std::string sendableType(const GUID& container)
{
    if (container == GUID_ContainerFormatJpeg)
        return "image/jpeg";
    if (container == GUID_ContainerFormatPng)
        return "image/png";
    if (container == GUID_ContainerFormatWebp)
        return "image/webp";
    return {};
}

/// Whether pixels of `source` can be transparent: a format with an alpha
/// channel, or a palette with a transparent colour.
bool hasAlpha(IWICImagingFactory* factory, IWICBitmapSource* source)
{
    WICPixelFormatGUID format{};
    if (FAILED(source->GetPixelFormat(&format)))
        return false;
    static constexpr std::array alphaFormats{
        &GUID_WICPixelFormat32bppBGRA,  &GUID_WICPixelFormat32bppRGBA,  &GUID_WICPixelFormat32bppPBGRA,
        &GUID_WICPixelFormat32bppPRGBA, &GUID_WICPixelFormat64bppRGBA,  &GUID_WICPixelFormat64bppBGRA,
        &GUID_WICPixelFormat64bppPRGBA, &GUID_WICPixelFormat64bppPBGRA, &GUID_WICPixelFormat128bppRGBAFloat,
    };
    if (std::any_of(alphaFormats.begin(), alphaFormats.end(), [&](const GUID* alpha) { return *alpha == format; }))
        return true;
    ComPtr<IWICPalette> palette;
    BOOL paletteAlpha = FALSE;
    return SUCCEEDED(factory->CreatePalette(&palette)) && SUCCEEDED(source->CopyPalette(palette.Get())) &&
           SUCCEEDED(palette->HasAlpha(&paletteAlpha)) && paletteAlpha;
}

/// `source` converted to `format`.
ComPtr<IWICBitmapSource> converted(IWICImagingFactory* factory, IWICBitmapSource* source, const GUID& format)
{
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(source, format, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return nullptr;
    return converter;
}

/// Reads every pixel of `source`: a broken image fails here, as it would
/// when it is drawn.
bool decodes(IWICImagingFactory* factory, IWICBitmapSource* source, UINT width, UINT height)
{
    ComPtr<IWICBitmapSource> pixels = converted(factory, source, GUID_WICPixelFormat32bppBGRA);
    if (!pixels)
        return false;
    std::string buffer(static_cast<std::size_t>(width) * height * 4, '\0');
    return SUCCEEDED(pixels->CopyPixels(nullptr, width * 4, static_cast<UINT>(buffer.size()),
                                        reinterpret_cast<BYTE*>(buffer.data())));
}

/// The bytes written to `stream` (an HGLOBAL stream).
std::string bytesOf(IStream* stream)
{
    STATSTG facts{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&facts, STATFLAG_NONAME)) || FAILED(GetHGlobalFromStream(stream, &memory)))
        return {};
    const void* start = GlobalLock(memory);
    if (start == nullptr)
        return {};
    std::string bytes(static_cast<const char*>(start), static_cast<std::size_t>(facts.cbSize.QuadPart));
    GlobalUnlock(memory);
    return bytes;
}

/// `source` written as PNG when it is transparent, else as JPEG.
std::optional<ScaledImage> encoded(IWICImagingFactory* factory, IWICBitmapSource* source, bool transparent)
{
    const GUID& container = transparent ? GUID_ContainerFormatPng : GUID_ContainerFormatJpeg;
    WICPixelFormatGUID format = transparent ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    ComPtr<IWICBitmapSource> pixels = converted(factory, source, format);
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    UINT width = 0;
    UINT height = 0;
    if (!pixels || FAILED(pixels->GetSize(&width, &height)) ||
        FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
        FAILED(factory->CreateEncoder(container, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, &options)))
        return std::nullopt;
    if (!transparent) {
        // JPEG at 85 keeps a cover looking as it did at a tenth of PNG's size.
        PROPBAG2 option{};
        option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT value{};
        value.vt = VT_R4;
        value.fltVal = 0.85f;
        options->Write(1, &option, &value);
    }
    if (FAILED(frame->Initialize(options.Get())) || FAILED(frame->SetSize(width, height)) ||
        FAILED(frame->SetPixelFormat(&format)) || FAILED(frame->WriteSource(pixels.Get(), nullptr)) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return std::nullopt;
    std::string bytes = bytesOf(stream.Get());
    if (bytes.empty())
        return std::nullopt;
    return ScaledImage{std::move(bytes), transparent ? "image/png" : "image/jpeg"};
}

/// `source` turned upright for the EXIF orientation `orientation` (see
/// library/ImageOrientation.h): its pixels read, turned and made a bitmap
/// again, which at most the scaled size costs. The system's flip-rotator is
/// not used: Wine's cannot turn or mirror left to right.
ComPtr<IWICBitmapSource> upright(IWICImagingFactory* factory, IWICBitmapSource* source, int orientation)
{
    if (orientation < 2 || orientation > 8)
        return source;
    ComPtr<IWICBitmapSource> pixels = converted(factory, source, GUID_WICPixelFormat32bppBGRA);
    Pixels stored;
    if (!pixels || FAILED(pixels->GetSize(&stored.width, &stored.height)))
        return nullptr;
    stored.values.resize(static_cast<std::size_t>(stored.width) * stored.height);
    if (FAILED(pixels->CopyPixels(nullptr, stored.width * 4, static_cast<UINT>(stored.values.size() * 4),
                                  reinterpret_cast<BYTE*>(stored.values.data()))))
        return nullptr;
    Pixels turned = turnedUpright(stored, orientation);
    ComPtr<IWICBitmap> bitmap;
    if (FAILED(factory->CreateBitmapFromMemory(turned.width, turned.height, GUID_WICPixelFormat32bppBGRA,
                                               turned.width * 4, static_cast<UINT>(turned.values.size() * 4),
                                               reinterpret_cast<BYTE*>(turned.values.data()), &bitmap)))
        return nullptr;
    return bitmap;
}

/// `width` by `height` made to fit in a square of `side`, aspect kept
/// (rounded down, at least one pixel).
std::pair<UINT, UINT> fitted(UINT width, UINT height, int side)
{
    const auto bound = static_cast<std::uint64_t>(side);
    const std::uint64_t widthAtFullHeight = bound * width / height;
    if (widthAtFullHeight <= bound)
        return {static_cast<UINT>(std::max<std::uint64_t>(widthAtFullHeight, 1)), static_cast<UINT>(bound)};
    return {static_cast<UINT>(bound), static_cast<UINT>(std::max<std::uint64_t>(bound * height / width, 1))};
}

} // namespace

std::optional<ScaledImage> scaleImage(std::string_view encodedBytes, int maximumSide)
{
    if (encodedBytes.empty() || maximumSide <= 0 || encodedBytes.size() > MAXDWORD)
        return std::nullopt;
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    GUID container{};
    UINT width = 0;
    UINT height = 0;
    // The stream borrows the bytes: no copy of a large picture.
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(encodedBytes.data())),
                                            static_cast<DWORD>(encodedBytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetContainerFormat(&container)) || FAILED(decoder->GetFrame(0, &frame)) ||
        FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0)
        return std::nullopt;
    if (static_cast<std::uint64_t>(width) * height > maximumImagePixels)
        return std::nullopt;

    const auto side = static_cast<UINT>(maximumSide);
    const bool fits = width <= side && height <= side;
    const std::string type = sendableType(container);
    if (fits && !type.empty())
        return decodes(factory.Get(), frame.Get(), width, height)
                   ? std::optional<ScaledImage>(ScaledImage{std::string(encodedBytes), type})
                   : std::nullopt;
    ComPtr<IWICBitmapSource> image = frame;
    if (!fits) {
        const auto [scaledWidth, scaledHeight] = fitted(width, height, maximumSide);
        ComPtr<IWICBitmapScaler> scaler;
        if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
            FAILED(scaler->Initialize(frame.Get(), scaledWidth, scaledHeight, WICBitmapInterpolationModeFant)))
            return std::nullopt;
        image = scaler;
    }
    // Sent as it came, a photo keeps its orientation for the browser to
    // apply; written anew it loses it, so it is turned upright here.
    image = upright(factory.Get(), image.Get(), orientationOf(frame.Get()));
    if (!image)
        return std::nullopt;
    return encoded(factory.Get(), image.Get(), hasAlpha(factory.Get(), frame.Get()));
}

void prepareImageScaling()
{
    // The system's codecs are made for each scaling and belong to no thread.
}

} // namespace library
