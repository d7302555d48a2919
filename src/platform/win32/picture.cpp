#include "platform/picture.hpp"

#include <windows.h>

#include <shellscalingapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>

#include "platform/bitmap_file.hpp"
#include "platform/bmp_reader.hpp"
#include "platform/error.hpp"
#include "platform/orientation.hpp"
#include "platform/picture_data.hpp"
#include "platform/win32/bitmap.hpp"
#include "platform/win32/reason.hpp"
#include "platform/win32/replacement_file.hpp"
#include "platform/win32/text.hpp"

namespace ornavel::platform {
namespace {

using Microsoft::WRL::ComPtr;

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

struct Decoded {
    UINT width = 0, height = 0;            // the picture's own size, upright
    UINT shownWidth = 0, shownHeight = 0;  // the size of `pixels`
    std::vector<std::uint8_t> pixels;
};

// Pixels of `source`, `width` x `height`, converted to 32-bit BGRA and laid over white.
std::vector<std::uint8_t> CopyPixels(IWICImagingFactory& factory, IWICBitmapSource* source,
                                     UINT width, UINT height) {
    ComPtr<IWICFormatConverter> converter;
    Check(factory.CreateFormatConverter(&converter));
    Check(converter->Initialize(source, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                nullptr, 0, WICBitmapPaletteTypeMedianCut));
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
        for (int c = 0; c < 3; ++c) pixels[i + c] = OnWhite(pixels[i + c], alpha);
        pixels[i + 3] = 255;
    }
    return pixels;
}

// Whether a picture of its own size `width` x `height` is shown smaller than that.
bool Reduced(UINT width, UINT height, UINT shownWidth, UINT shownHeight) {
    return shownWidth > 0 && shownHeight > 0 && (width > shownWidth || height > shownHeight);
}

// A bitmap, read by the program's own reader, whole or scaled to the shown size.
Decoded DecodeBitmap(std::string_view bytes, UINT shownWidth, UINT shownHeight) {
    Pixels whole = bmp::Decode(bytes);
    Decoded out;
    out.width = out.shownWidth = static_cast<UINT>(whole.width);
    out.height = out.shownHeight = static_cast<UINT>(whole.height);
    if (!Reduced(out.width, out.height, shownWidth, shownHeight)) {
        out.pixels = std::move(whole.bgra);
        return out;
    }
    auto factory = Factory();
    ComPtr<IWICBitmap> bitmap;
    Check(factory->CreateBitmapFromMemory(out.width, out.height, GUID_WICPixelFormat32bppBGRA,
                                          out.width * 4, static_cast<UINT>(whole.bgra.size()),
                                          whole.bgra.data(), &bitmap));
    ComPtr<IWICBitmapScaler> scaler;
    Check(factory->CreateBitmapScaler(&scaler));
    Check(
        scaler->Initialize(bitmap.Get(), shownWidth, shownHeight, WICBitmapInterpolationModeFant));
    out.shownWidth = shownWidth;
    out.shownHeight = shownHeight;
    out.pixels = CopyPixels(*factory.Get(), scaler.Get(), shownWidth, shownHeight);
    return out;
}

// Any other picture, through the system's codecs: the first frame, whole, or, when it is larger
// than `shownWidth` x `shownHeight` (not 0), scaled to that size as it is decoded, and turned
// upright by the orientation the program reads from the bytes itself.
Decoded DecodeWithCodec(const std::string& bytes, UINT shownWidth, UINT shownHeight) {
    const std::string refusal = picture_data::Refusal(bytes);
    if (!refusal.empty()) throw Error(refusal);
    const int orientation = orientation::Read(bytes);
    const bool quarter = orientation::Quarter(orientation);

    auto factory = Factory();
    ComPtr<IWICStream> stream;
    Check(factory->CreateStream(&stream));
    Check(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                       static_cast<DWORD>(bytes.size())));
    ComPtr<IWICBitmapDecoder> decoder;
    Check(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                           &decoder));
    ComPtr<IWICBitmapFrameDecode> frame;
    Check(decoder->GetFrame(0, &frame));
    UINT width = 0, height = 0;
    Check(frame->GetSize(&width, &height));
    if (width == 0 || height == 0) throw Error(picture_data::Damaged("изображение пустое"));
    if (std::uint64_t{width} * height > picture_data::kMaxPixels) {
        throw Error(picture_data::TooLarge(width, height));
    }
    Decoded out;
    out.width = quarter ? height : width;
    out.height = quarter ? width : height;
    // The size decoded, as stored.
    UINT storedWidth = width, storedHeight = height;
    ComPtr<IWICBitmapSource> source = frame;
    if (Reduced(out.width, out.height, shownWidth, shownHeight)) {
        // Scaled straight from the frame, so the decoder can do part of it (a JPEG by its DCT).
        storedWidth = quarter ? shownHeight : shownWidth;
        storedHeight = quarter ? shownWidth : shownHeight;
        ComPtr<IWICBitmapScaler> scaler;
        Check(factory->CreateBitmapScaler(&scaler));
        Check(scaler->Initialize(frame.Get(), storedWidth, storedHeight,
                                 WICBitmapInterpolationModeFant));
        source = scaler;
    }
    out.pixels = CopyPixels(*factory.Get(), source.Get(), storedWidth, storedHeight);
    out.shownWidth = quarter ? storedHeight : storedWidth;
    out.shownHeight = quarter ? storedWidth : storedHeight;
    if (orientation != 1) {
        out.pixels = orientation::Upright(out.pixels.data(), static_cast<int>(storedWidth),
                                          static_cast<int>(storedHeight),
                                          std::size_t{4} * storedWidth, orientation)
                         .bgra;
    }
    return out;
}

// Decodes a file's bytes held in memory.
Decoded DecodeBytes(const std::string& bytes, UINT shownWidth, UINT shownHeight) {
    if (bmp::IsBitmap(bytes)) return DecodeBitmap(bytes, shownWidth, shownHeight);
    return DecodeWithCodec(bytes, shownWidth, shownHeight);
}

// The effective dots per inch of the sharpest monitor.
UINT SharpestDpi() {
    UINT dpi = USER_DEFAULT_SCREEN_DPI;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
            UINT x = 0, y = 0;
            if (SUCCEEDED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y))) {
                auto* best = reinterpret_cast<UINT*>(data);
                *best = std::max(*best, x);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&dpi));
    return dpi;
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

PicturePtr LoadPicture(const std::string& path, ShownSize size) {
    auto bytes = ReadPictureFile(path);
    // In device pixels, at the scale of the sharpest monitor.
    const UINT dpi = SharpestDpi();
    const auto device = [dpi](int value) {
        return static_cast<UINT>(std::max(MulDiv(value, static_cast<int>(dpi), 96), 0));
    };
    Decoded shown = DecodeBytes(*bytes, device(size.width), device(size.height));
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
