// The demo driver's pictures: written through WIC, read back through WIC.

#include "png_file.h"

#include <gtest/gtest.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "win_test_util.h"

namespace {

using Microsoft::WRL::ComPtr;

struct Decoded {
    GUID container{};
    UINT width = 0;
    UINT height = 0;
    std::vector<uint8_t> bgr;  // 24-bit rows, top first
};

bool decode(const std::string& path, Decoded& out) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> bgr;
    const std::wstring wide(path.begin(), path.end());
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetContainerFormat(&out.container)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&out.width, &out.height)) ||
        FAILED(WICConvertBitmapSource(GUID_WICPixelFormat24bppBGR, frame.Get(), &bgr)))
        return false;
    out.bgr.resize(out.width * out.height * 3);
    return SUCCEEDED(
        bgr->CopyPixels(nullptr, out.width * 3, static_cast<UINT>(out.bgr.size()), out.bgr.data()));
}

class PngFile : public ::testing::Test {
  protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
    wintest::TempFolder temp;
};

TEST_F(PngFile, KeepsSizeAndColoursAndIgnoresAlpha) {
    // Three by two, top row red, green, blue; bottom row white, black, grey; alpha left at 0,
    // as GDI leaves it.
    const uint32_t pixels[] = {0x00FF0000, 0x0000FF00, 0x000000FF,
                               0x00FFFFFF, 0x00000000, 0x00808080};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 3;
    info.bmiHeader.biHeight = -2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(bitmap && bits);
    memcpy(bits, pixels, sizeof pixels);

    const std::string path = temp.file("shot.png");
    EXPECT_TRUE(demo::savePng(bitmap, path));
    DeleteObject(bitmap);

    Decoded png;
    ASSERT_TRUE(decode(path, png));
    EXPECT_EQ(png.container, GUID_ContainerFormatPng);
    EXPECT_EQ(png.width, 3u);
    EXPECT_EQ(png.height, 2u);
    EXPECT_EQ(png.bgr, (std::vector<uint8_t>{0, 0, 255, 0, 255, 0, 255, 0, 0,  //
                                             255, 255, 255, 0, 0, 0, 128, 128, 128}));
}

TEST_F(PngFile, SaysNoWhenItCannotWrite) {
    EXPECT_FALSE(demo::savePng(nullptr, temp.file("none.png")));
    EXPECT_EQ(GetFileAttributesA(temp.file("none.png").c_str()), INVALID_FILE_ATTRIBUTES);
    HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
    ASSERT_TRUE(bitmap);
    EXPECT_FALSE(demo::savePng(bitmap, temp.file("missing\\shot.png")));
    DeleteObject(bitmap);
}

}  // namespace
