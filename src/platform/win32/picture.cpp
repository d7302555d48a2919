#include "platform/picture.hpp"

#include <windows.h>

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>

#include "platform/bitmap_file.hpp"
#include "platform/error.hpp"
#include "platform/picture_data.hpp"
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

// The largest inside of an image control noted so far, in device pixels.
UINT g_shownWidth = 0, g_shownHeight = 0;

struct Decoded {
    UINT width = 0, height = 0;            // the picture's own size, upright
    UINT shownWidth = 0, shownHeight = 0;  // the size of `pixels`
    std::vector<std::uint8_t> pixels;
};

// The first frame, turned upright, converted to 32-bit BGRA and laid over white: whole, or, when
// it is larger than `shownWidth` x `shownHeight` (not 0), scaled to that size as it is decoded.
Decoded Decode(IWICImagingFactory& factory, IWICBitmapDecoder& decoder, UINT shownWidth,
               UINT shownHeight) {
    ComPtr<IWICBitmapFrameDecode> frame;
    Check(decoder.GetFrame(0, &frame));
    UINT width = 0, height = 0;
    Check(frame->GetSize(&width, &height));
    if (width == 0 || height == 0) throw Error("изображение пустое");
    if (std::uint64_t{width} * height * 4 > kMaxDecodedBytes) {
        throw Error("изображение слишком велико");
    }
    // A photo's EXIF orientation turns it upright, as every viewer shows it.
    const WICBitmapTransformOptions turn = Orientation(*frame.Get());
    const bool quarter = (turn & WICBitmapTransformRotate90) != 0;  // also set in Rotate270
    Decoded out;
    out.width = quarter ? height : width;
    out.height = quarter ? width : height;
    out.shownWidth = out.width;
    out.shownHeight = out.height;
    ComPtr<IWICBitmapSource> source = frame;
    if (shownWidth > 0 && shownHeight > 0 && (out.width > shownWidth || out.height > shownHeight)) {
        // Scaled straight from the frame, so the decoder can do part of it (a JPEG by its DCT).
        ComPtr<IWICBitmapScaler> scaler;
        Check(factory.CreateBitmapScaler(&scaler));
        Check(scaler->Initialize(frame.Get(), quarter ? shownHeight : shownWidth,
                                 quarter ? shownWidth : shownHeight,
                                 WICBitmapInterpolationModeFant));
        source = scaler;
        out.shownWidth = shownWidth;
        out.shownHeight = shownHeight;
    }
    if (turn != WICBitmapTransformRotate0) {
        ComPtr<IWICBitmapFlipRotator> rotator;
        Check(factory.CreateBitmapFlipRotator(&rotator));
        Check(rotator->Initialize(source.Get(), turn));
        source = rotator;
    }
    ComPtr<IWICFormatConverter> converter;
    Check(factory.CreateFormatConverter(&converter));
    Check(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                nullptr, 0, WICBitmapPaletteTypeMedianCut));
    const std::uint64_t bytes = std::uint64_t{out.shownWidth} * out.shownHeight * 4;
    try {
        out.pixels.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        throw Error("недостаточно памяти");
    }
    Check(converter->CopyPixels(nullptr, out.shownWidth * 4, static_cast<UINT>(bytes),
                                out.pixels.data()));
    auto& pixels = out.pixels;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        const unsigned alpha = pixels[i + 3];
        if (alpha == 255) continue;
        for (int c = 0; c < 3; ++c) pixels[i + c] = OnWhite(pixels[i + c], alpha);
        pixels[i + 3] = 255;
    }
    return out;
}

// Decodes a file's bytes held in memory.
Decoded DecodeBytes(const std::string& bytes, UINT shownWidth, UINT shownHeight) {
    auto factory = Factory();
    ComPtr<IWICStream> stream;
    Check(factory->CreateStream(&stream));
    Check(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                       static_cast<DWORD>(bytes.size())));
    ComPtr<IWICBitmapDecoder> decoder;
    Check(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                           &decoder));
    return Decode(*factory.Get(), *decoder.Get(), shownWidth, shownHeight);
}

// A file handle closed when it goes out of scope.
class File {
  public:
    explicit File(HANDLE handle) : handle_(handle) {}
    ~File() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

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
    Decoded whole = DecodeBytes(std::string(static_cast<const char*>(data), size), 0, 0);
    return std::make_shared<Bitmap>(static_cast<int>(whole.width), static_cast<int>(whole.height),
                                    std::move(whole.pixels));
}

void NoteShownSize(int width, int height) {
    g_shownWidth = std::max(g_shownWidth, static_cast<UINT>(std::max(width, 0)));
    g_shownHeight = std::max(g_shownHeight, static_cast<UINT>(std::max(height, 0)));
}

}  // namespace win32

namespace {

// The bytes of the picture file at `path`, read whole, after checking that it is a plain file of
// a sane size.
std::shared_ptr<const std::string> ReadPictureFile(const std::string& path) {
    const std::wstring wide = win32::Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        throw Error(picture_data::kFolder);
    }
    File file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        throw Error(win32::ReasonFromSystemError(GetLastError()));
    }
    // Pipes and devices (COM1, CON) are not read: a read could wait for ever.
    if (GetFileType(file.get()) != FILE_TYPE_DISK) throw Error(picture_data::kNotAFile);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        throw Error(win32::ReasonFromSystemError(GetLastError()));
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > picture_data::kMaxFileBytes) {
        throw Error(picture_data::kTooLarge);
    }
    auto bytes = std::make_shared<std::string>();
    try {
        bytes->resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        throw Error("недостаточно памяти");
    }
    std::size_t done = 0;
    while (done < bytes->size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes->data() + done, static_cast<DWORD>(bytes->size() - done),
                      &read, nullptr)) {
            throw Error(win32::ReasonFromSystemError(GetLastError()));
        }
        if (read == 0) break;
        done += read;
    }
    bytes->resize(done);
    return bytes;
}

std::shared_ptr<const win32::Bitmap> WholeBitmap(const win32::Bitmap& bitmap) {
    Decoded whole = DecodeBytes(*bitmap.Bytes(), 0, 0);
    return std::make_shared<win32::Bitmap>(static_cast<int>(whole.width),
                                           static_cast<int>(whole.height), std::move(whole.pixels));
}

}  // namespace

PicturePtr LoadPicture(const std::string& path) {
    auto bytes = ReadPictureFile(path);
    if (picture_data::CutShort(*bytes)) throw Error(picture_data::kCutShort);
    Decoded shown = DecodeBytes(*bytes, g_shownWidth, g_shownHeight);
    return std::make_shared<win32::Bitmap>(
        std::move(bytes), static_cast<int>(shown.width), static_cast<int>(shown.height),
        static_cast<int>(shown.shownWidth), static_cast<int>(shown.shownHeight),
        std::move(shown.pixels));
}

PicturePtr WholePicture(const PicturePtr& picture) {
    const auto* bitmap = dynamic_cast<const win32::Bitmap*>(picture.get());
    if (bitmap == nullptr || bitmap->Whole()) return picture;
    return WholeBitmap(*bitmap);
}

void SavePicture(const Picture& picture, const std::string& path) {
    const auto* bitmap = dynamic_cast<const win32::Bitmap*>(&picture);
    if (bitmap == nullptr) throw Error("изображение не загружено");
    std::shared_ptr<const win32::Bitmap> whole;
    if (!bitmap->Whole()) {
        whole = WholeBitmap(*bitmap);
        bitmap = whole.get();
    }
    const BitmapFile file(bitmap->Width(), bitmap->Height());
    win32::ReplacementFile replacement(win32::Wide(path));
    const HANDLE handle = replacement.handle();
    if (handle == INVALID_HANDLE_VALUE) {
        throw Error(win32::ReasonFromSystemError(replacement.error()));
    }
    // A failure on the way leaves the old file as it was and the temporary deleted.
    const std::size_t stride = std::size_t{4} * static_cast<std::size_t>(bitmap->Width());
    file.Write(
        [&](int y) { return bitmap->Pixels() + stride * static_cast<std::size_t>(y); },
        [handle](const std::uint8_t* data, std::size_t size) { WriteAll(handle, data, size); });
    if (!replacement.Commit()) throw Error(win32::ReasonFromSystemError(replacement.error()));
}

}  // namespace ornavel::platform
