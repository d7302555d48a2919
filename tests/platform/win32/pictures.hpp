#pragma once

// Test pictures written with the system's own encoders, and a look inside bitmap files.
#include <gtest/gtest.h>
#include <windows.h>

#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/bitmap.hpp"
#include "platform/win32/text.hpp"
#include "support/temp_dir.hpp"

namespace ornavel::testing {

using Microsoft::WRL::ComPtr;

// Writes a width x height picture of one colour with the system's encoder for `container`.
inline void Encode(const std::string& path, REFGUID container, UINT width, UINT height,
                   std::uint32_t bgra) {
    platform::win32::EnsureCom();
    ComPtr<IWICImagingFactory> factory;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr,
                                              CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)));
    ComPtr<IWICStream> stream;
    ASSERT_HRESULT_SUCCEEDED(factory->CreateStream(&stream));
    ASSERT_HRESULT_SUCCEEDED(
        stream->InitializeFromFilename(platform::win32::Wide(path).c_str(), GENERIC_WRITE));
    ComPtr<IWICBitmapEncoder> encoder;
    ASSERT_HRESULT_SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder));
    ASSERT_HRESULT_SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache));
    ComPtr<IWICBitmapFrameEncode> frame;
    ASSERT_HRESULT_SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr));
    ASSERT_HRESULT_SUCCEEDED(frame->Initialize(nullptr));
    ASSERT_HRESULT_SUCCEEDED(frame->SetSize(width, height));
    std::vector<std::uint32_t> pixels(std::size_t{width} * height, bgra);
    ComPtr<IWICBitmap> bitmap;
    ASSERT_HRESULT_SUCCEEDED(factory->CreateBitmapFromMemory(
        width, height, GUID_WICPixelFormat32bppBGRA, width * 4,
        static_cast<UINT>(pixels.size() * 4), reinterpret_cast<BYTE*>(pixels.data()), &bitmap));
    ASSERT_HRESULT_SUCCEEDED(frame->WriteSource(bitmap.Get(), nullptr));
    ASSERT_HRESULT_SUCCEEDED(frame->Commit());
    ASSERT_HRESULT_SUCCEEDED(encoder->Commit());
}

struct BmpInfo {
    bool valid = false;
    int width = 0, height = 0, bits = 0;
    std::uint8_t firstBlue = 0, firstGreen = 0, firstRed = 0;
};

inline BmpInfo ReadBmp(const std::string& path) {
    const std::string bytes = ReadFile(path);
    BmpInfo info;
    if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0) return info;
    std::int32_t width, height, offset;
    std::uint16_t bits;
    std::memcpy(&offset, bytes.data() + 10, 4);
    std::memcpy(&width, bytes.data() + 18, 4);
    std::memcpy(&height, bytes.data() + 22, 4);
    std::memcpy(&bits, bytes.data() + 28, 2);
    const std::size_t stride = (static_cast<std::size_t>(width) * bits / 8 + 3) & ~std::size_t{3};
    info.valid = bytes.size() >= offset + stride * static_cast<std::size_t>(std::abs(height));
    info.width = width;
    info.height = std::abs(height);
    info.bits = bits;
    if (info.valid) {
        info.firstBlue = static_cast<std::uint8_t>(bytes[offset]);
        info.firstGreen = static_cast<std::uint8_t>(bytes[offset + 1]);
        info.firstRed = static_cast<std::uint8_t>(bytes[offset + 2]);
    }
    return info;
}

}  // namespace ornavel::testing
