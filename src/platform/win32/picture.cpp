#include "platform/picture.hpp"

#include <windows.h>

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>

#include "platform/error.hpp"
#include "platform/win32/bitmap.hpp"
#include "platform/win32/reason.hpp"
#include "platform/win32/replacement_file.hpp"
#include "platform/win32/text.hpp"

namespace ornavel::platform {
namespace {

using Microsoft::WRL::ComPtr;

// Larger decoded pictures are refused rather than exhausting the memory.
constexpr std::uint64_t kMaxDecodedBytes = std::uint64_t{1} << 30;

void Check(HRESULT hr) {
    if (FAILED(hr)) throw Error(win32::ReasonFromResult(hr));
}

ComPtr<IWICImagingFactory> Factory() {
    win32::EnsureCom();
    ComPtr<IWICImagingFactory> factory;
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(&factory)));
    return factory;
}

// The turn that makes a frame upright, from its EXIF orientation tag; none when it has none.
WICBitmapTransformOptions Orientation(IWICBitmapFrameDecode& frame) {
    ComPtr<IWICMetadataQueryReader> query;
    if (FAILED(frame.GetMetadataQueryReader(&query))) return WICBitmapTransformRotate0;
    PROPVARIANT value;
    PropVariantInit(&value);
    int orientation = 1;
    if (SUCCEEDED(query->GetMetadataByName(L"/app1/ifd/{ushort=274}", &value)) &&
        value.vt == VT_UI2) {
        orientation = value.uiVal;
    }
    PropVariantClear(&value);
    switch (orientation) {
        case 2:
            return WICBitmapTransformFlipHorizontal;
        case 3:
            return WICBitmapTransformRotate180;
        case 4:
            return WICBitmapTransformFlipVertical;
        case 5:
            return static_cast<WICBitmapTransformOptions>(WICBitmapTransformRotate90 |
                                                          WICBitmapTransformFlipHorizontal);
        case 6:
            return WICBitmapTransformRotate90;
        case 7:
            return static_cast<WICBitmapTransformOptions>(WICBitmapTransformRotate270 |
                                                          WICBitmapTransformFlipHorizontal);
        case 8:
            return WICBitmapTransformRotate270;
        default:
            return WICBitmapTransformRotate0;
    }
}

// The first frame, turned upright, converted to 32-bit BGRA and laid over white.
std::shared_ptr<const win32::Bitmap> Decode(IWICImagingFactory& factory,
                                            IWICBitmapDecoder& decoder) {
    ComPtr<IWICBitmapFrameDecode> frame;
    Check(decoder.GetFrame(0, &frame));
    UINT width = 0, height = 0;
    Check(frame->GetSize(&width, &height));
    if (width == 0 || height == 0) throw Error("изображение пустое");
    if (std::uint64_t{width} * height * 4 > kMaxDecodedBytes) {
        throw Error("изображение слишком велико");
    }
    // A photo's EXIF orientation turns it upright, as every viewer shows it.
    ComPtr<IWICBitmapSource> upright = frame;
    const WICBitmapTransformOptions turn = Orientation(*frame.Get());
    if (turn != WICBitmapTransformRotate0) {
        ComPtr<IWICBitmapFlipRotator> rotator;
        Check(factory.CreateBitmapFlipRotator(&rotator));
        Check(rotator->Initialize(frame.Get(), turn));
        upright = rotator;
        Check(upright->GetSize(&width, &height));
    }
    ComPtr<IWICFormatConverter> converter;
    Check(factory.CreateFormatConverter(&converter));
    Check(converter->Initialize(upright.Get(), GUID_WICPixelFormat32bppBGRA,
                                WICBitmapDitherTypeNone, nullptr, 0,
                                WICBitmapPaletteTypeMedianCut));
    const std::uint64_t bytes = std::uint64_t{width} * height * 4;
    std::vector<std::uint8_t> pixels;
    try {
        pixels.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        throw Error("недостаточно памяти");
    }
    Check(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bytes), pixels.data()));
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        const unsigned alpha = pixels[i + 3];
        if (alpha == 255) continue;
        for (int c = 0; c < 3; ++c) {
            pixels[i + c] =
                static_cast<std::uint8_t>((pixels[i + c] * alpha + 255 * (255 - alpha)) / 255);
        }
        pixels[i + 3] = 255;
    }
    return std::make_shared<win32::Bitmap>(static_cast<int>(width), static_cast<int>(height),
                                           std::move(pixels));
}

void WriteAll(HANDLE file, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) {
            throw Error(win32::ReasonFromSystemError(GetLastError()));
        }
        bytes += written;
        size -= written;
    }
}

// The picture as a 24-bit bottom-up Windows bitmap file.
void WriteBitmap(HANDLE file, const win32::Bitmap& picture) {
    const std::uint32_t width = picture.Width(), height = picture.Height();
    const std::uint32_t stride = (width * 3 + 3) & ~3u;
    const std::uint64_t imageSize = std::uint64_t{stride} * height;
    BITMAPFILEHEADER header{};
    BITMAPINFOHEADER info{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = static_cast<DWORD>(header.bfOffBits + imageSize);
    info.biSize = sizeof info;
    info.biWidth = static_cast<LONG>(width);
    info.biHeight = static_cast<LONG>(height);
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(imageSize);
    info.biXPelsPerMeter = info.biYPelsPerMeter = 3780;  // 96 dots per inch
    WriteAll(file, &header, sizeof header);
    WriteAll(file, &info, sizeof info);
    // Rows go out in batches to keep the number of writes small for large pictures.
    constexpr std::size_t kBatchBytes = 1 << 20;
    const std::size_t rowsPerBatch = std::max<std::size_t>(1, kBatchBytes / stride);
    std::vector<std::uint8_t> batch(rowsPerBatch * stride, 0);
    std::size_t filled = 0;
    for (std::uint32_t y = height; y-- > 0;) {
        const std::uint8_t* source = picture.Pixels() + std::size_t{y} * width * 4;
        std::uint8_t* row = batch.data() + filled * stride;
        for (std::uint32_t x = 0; x < width; ++x) {
            row[x * 3] = source[x * 4];
            row[x * 3 + 1] = source[x * 4 + 1];
            row[x * 3 + 2] = source[x * 4 + 2];
        }
        if (++filled == rowsPerBatch || y == 0) {
            WriteAll(file, batch.data(), filled * stride);
            filled = 0;
        }
    }
}

}  // namespace

namespace win32 {

void EnsureCom() {
    thread_local bool ready = false;
    if (ready) return;
    // S_FALSE: already set up on this thread; RPC_E_CHANGED_MODE: set up as multithreaded, which
    // serves as well.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ready = true;
}

std::shared_ptr<const Bitmap> DecodePicture(const void* data, std::size_t size) {
    auto factory = Factory();
    ComPtr<IWICStream> stream;
    Check(factory->CreateStream(&stream));
    Check(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                       static_cast<DWORD>(size)));
    ComPtr<IWICBitmapDecoder> decoder;
    Check(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                           &decoder));
    return Decode(*factory.Get(), *decoder.Get());
}

}  // namespace win32

PicturePtr LoadPicture(const std::string& path) {
    auto factory = Factory();
    ComPtr<IWICBitmapDecoder> decoder;
    Check(factory->CreateDecoderFromFilename(win32::Wide(path).c_str(), nullptr, GENERIC_READ,
                                             WICDecodeMetadataCacheOnDemand, &decoder));
    return Decode(*factory.Get(), *decoder.Get());
}

void SavePicture(const Picture& picture, const std::string& path) {
    const auto* bitmap = dynamic_cast<const win32::Bitmap*>(&picture);
    if (bitmap == nullptr) throw Error("изображение не загружено");
    win32::ReplacementFile file(win32::Wide(path));
    if (file.handle() == INVALID_HANDLE_VALUE) {
        throw Error(win32::ReasonFromSystemError(file.error()));
    }
    // A failure on the way leaves the old file as it was and the temporary deleted.
    WriteBitmap(file.handle(), *bitmap);
    if (!file.Commit()) throw Error(win32::ReasonFromSystemError(file.error()));
}

}  // namespace ornavel::platform
