// ThumbnailCreator.dll under Wine: registered, created through its ProgID, its folder dialog
// driven like a user (the save folder of config.xml selected, then OK or Cancel), over folders of
// real JPEG, PNG, GIF and BMP pictures written with the system's imaging. The album page is read
// back, its thumbnails decoded, and its opening seen through the .htm association.
#include <windows.h>
#include <wincodec.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/win/thumbnail_album.h"
#include "settings/download_settings.h"
#include "ui/com.h"
#include "ui/message_box.h"
#include "ui/text.h"
#include "win_test_util.h"

namespace {

using ui::ComPtr;

constexpr char kPageProgId[] = "VexaroTest.AlbumPage";

struct PictureSize {
    UINT width = 0;
    UINT height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// Writes a picture of `size` in the container `format` (a colour gradient; GIF in the web
// palette).
bool writePicture(const std::string& path, const GUID& format, PictureSize size) {
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))))
        return false;
    const bool indexed = format == GUID_ContainerFormatGif;
    const UINT stride = indexed ? size.width : size.width * 3;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * size.height);
    for (UINT y = 0; y < size.height; ++y) {
        for (UINT x = 0; x < size.width; ++x) {
            BYTE* p = &pixels[static_cast<size_t>(y) * stride + (indexed ? x : x * 3)];
            if (indexed) {
                p[0] = static_cast<BYTE>((x / 8 + y / 8) % 216);
            } else {
                p[0] = static_cast<BYTE>(x * 255 / size.width);
                p[1] = static_cast<BYTE>(y * 255 / size.height);
                p[2] = 128;
            }
        }
    }
    WICPixelFormatGUID pixelFormat =
        indexed ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat24bppBGR;
    ComPtr<IWICBitmap> bitmap;
    ComPtr<IWICPalette> palette;
    if (FAILED(factory->CreateBitmapFromMemory(size.width, size.height, pixelFormat, stride,
                                               static_cast<UINT>(pixels.size()), pixels.data(),
                                               &bitmap)))
        return false;
    if (indexed &&
        (FAILED(factory->CreatePalette(&palette)) ||
         FAILED(palette->InitializePredefined(WICBitmapPaletteTypeFixedWebPalette, FALSE)) ||
         FAILED(bitmap->SetPalette(palette.Get()))))
        return false;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    const std::wstring widePath = ui::toWide(path);
    HRESULT hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromFilename(widePath.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(hr))
        hr = factory->CreateEncoder(format, nullptr, &encoder);
    if (SUCCEEDED(hr))
        hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr))
        hr = encoder->CreateNewFrame(&frame, nullptr);
    if (SUCCEEDED(hr))
        hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr))
        hr = frame->SetSize(size.width, size.height);
    if (SUCCEEDED(hr))
        hr = frame->SetPixelFormat(&pixelFormat);
    if (SUCCEEDED(hr) && indexed)
        hr = frame->SetPalette(palette.Get());
    if (SUCCEEDED(hr))
        hr = frame->WriteSource(bitmap.Get(), nullptr);
    if (SUCCEEDED(hr))
        hr = frame->Commit();
    if (SUCCEEDED(hr))
        hr = encoder->Commit();
    return SUCCEEDED(hr);
}

std::optional<PictureSize> decodedSize(const std::string& path) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    PictureSize size;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateDecoderFromFilename(ui::toWide(path).c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnLoad, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&size.width, &size.height)))
        return std::nullopt;
    // Every pixel is read, so a truncated file fails here.
    std::vector<BYTE> pixels(static_cast<size_t>(size.width) * size.height * 4);
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->CopyPixels(nullptr, size.width * 4, static_cast<UINT>(pixels.size()),
                                     pixels.data())))
        return std::nullopt;
    return size;
}

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> attributeValues(const std::string& page, const std::string& pattern) {
    std::vector<std::string> values;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(page.begin(), page.end(), re); it != std::sregex_iterator();
         ++it)
        values.push_back((*it)[1].str());
    return values;
}

// The shell's folder dialog of this process, once it is up.
HWND folderDialog() {
    struct Search {
        HWND found = nullptr;
    } search;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid != GetCurrentProcessId() || wintest::className(w) != "#32770" ||
                !IsWindowVisible(w) || !FindWindowExA(w, nullptr, "SysTreeView32", nullptr))
                return TRUE;
            reinterpret_cast<Search*>(p)->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The text of the folder dialog's selected tree item.
std::string selectedFolder(HWND dialog) {
    HWND tree = FindWindowExA(dialog, nullptr, "SysTreeView32", nullptr);
    DWORD_PTR item = 0;
    if (!SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, 5000, &item) ||
        !item)
        return {};
    // The item's text is read through the dialog's own thread into this process's memory: both
    // threads share the address space.
    char text[MAX_PATH] = {};
    TVITEMA data{};
    data.mask = TVIF_TEXT | TVIF_HANDLE;
    data.hItem = reinterpret_cast<HTREEITEM>(item);
    data.pszText = text;
    data.cchTextMax = sizeof text;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                        5000, &ignored);
    return text;
}

// Plays the user at the folder dialog from a thread of its own: each time the dialog comes up,
// waits until the folder `expected` is selected (when given), then presses the next answer.
class FolderDialogUser {
  public:
    FolderDialogUser(std::vector<int> answers, std::string expected = {})
        : answers_(std::move(answers)), expected_(std::move(expected)) {
        thread_ = std::thread([this] { run(); });
    }
    ~FolderDialogUser() {
        stop_ = true;
        thread_.join();
    }
    int answered() const { return answered_; }

  private:
    void run() {
        for (int answer : answers_) {
            HWND dialog = nullptr;
            if (!wintest::poll([&] { return stop_ || (dialog = folderDialog()) != nullptr; }) ||
                stop_)
                return;
            if (!expected_.empty() &&
                !wintest::poll([&] { return stop_ || selectedFolder(dialog) == expected_; }))
                ADD_FAILURE() << "the dialog selects " << selectedFolder(dialog);
            ++answered_;
            wintest::press(dialog, answer);
            wintest::poll([&] { return stop_ || !IsWindow(dialog); });
        }
    }

    std::vector<int> answers_;
    std::string expected_;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

class ThumbnailAlbum : public ::testing::Test {
  protected:
    ThumbnailAlbum()
        : htm_(HKEY_CLASSES_ROOT, ".htm", ""),
          openCommand_(HKEY_CLASSES_ROOT, std::string(kPageProgId) + "\\shell\\open\\command", ""),
          config_("config.xml"),
          opened_("commandline.txt") {}

    void SetUp() override {
        module_ = LoadLibraryA(wintest::besideTestProgram("ThumbnailCreator.dll").c_str());
        ASSERT_NE(module_, nullptr);
        auto registerServer = reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_EQ(registerServer(), S_OK);
        // Album pages open in a program that records its command line.
        ASSERT_TRUE(htm_.setString(kPageProgId));
        ASSERT_TRUE(openCommand_.setString("\"" + wintest::besideTestProgram("stub-vexaro.exe") +
                                           "\" \"%1\""));
        opened_.remove();
        vx::DownloadSettings settings;
        settings.saveFolder = pictures_.path();
        config_.write(vx::settingsText(settings));
    }

    void TearDown() override {
        if (!module_)
            return;
        auto unregisterServer = reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllUnregisterServer")));
        if (unregisterServer) {
            EXPECT_EQ(unregisterServer(), S_OK);
        }
    }

    // The name the folder dialog shows for the save folder.
    std::string saveFolderName() const {
        return pictures_.path().substr(pictures_.path().find_last_of('\\') + 1);
    }

    ComPtr<vx::IThumbnailAlbum> create() {
        ComPtr<vx::IThumbnailAlbum> album;
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(L"ThumbnailCreator.Thumbnail", &clsid), S_OK);
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, vx::IID_IThumbnailAlbum,
                                   reinterpret_cast<void**>(album.GetAddressOf())),
                  S_OK);
        return album;
    }

    void writePictures() const {
        ASSERT_TRUE(
            writePicture(pictures_.file("harbour.jpg"), GUID_ContainerFormatJpeg, {640, 480}));
        ASSERT_TRUE(
            writePicture(pictures_.file("beach & sea.png"), GUID_ContainerFormatPng, {100, 50}));
        ASSERT_TRUE(writePicture(pictures_.file("tiles.bmp"), GUID_ContainerFormatBmp, {200, 400}));
        ASSERT_TRUE(writePicture(pictures_.file("spinner.gif"), GUID_ContainerFormatGif, {64, 64}));
        ASSERT_TRUE(pictures_.write("Broken.JPG", "not a picture at all"));
        ASSERT_TRUE(pictures_.write("notes.txt", "holiday notes"));
        CreateDirectoryA(pictures_.file("older").c_str(), nullptr);
        ASSERT_TRUE(
            writePicture(pictures_.file("older\\inside.png"), GUID_ContainerFormatPng, {20, 20}));
    }

    ui::ComInit com_;
    wintest::TempFolder pictures_;
    wintest::RegistryValueGuard htm_;
    wintest::RegistryValueGuard openCommand_;
    wintest::ProgramFolderFile config_;
    wintest::ProgramFolderFile opened_;
    HMODULE module_ = nullptr;
};

TEST_F(ThumbnailAlbum, AlbumOfTheSaveFolderLinksEveryPictureToADecodableThumbnail) {
    writePictures();
    ComPtr<vx::IThumbnailAlbum> album = create();
    ASSERT_TRUE(album);
    FolderDialogUser user({IDOK}, saveFolderName());
    EXPECT_EQ(album->CreateAlbum(), S_OK);
    EXPECT_EQ(user.answered(), 1);

    const std::optional<std::string> page = pictures_.read("album.htm");
    ASSERT_TRUE(page.has_value()) << "the album is written into the selected save folder";
    const std::vector<std::string> links = attributeValues(*page, "<a href=\"([^\"]*)\">");
    const std::set<std::string> linked(links.begin(), links.end());
    EXPECT_EQ(linked, (std::set<std::string>{"Broken.JPG", "beach%20%26%20sea.png", "harbour.jpg",
                                             "spinner.gif", "tiles.bmp"}));
    EXPECT_NE(page->find(">beach &amp; sea.png<"), std::string::npos);
    EXPECT_NE(page->find("640 x 480"), std::string::npos);

    const std::vector<std::string> thumbnails = attributeValues(*page, "<img src=\"([^\"]*)\"");
    ASSERT_EQ(thumbnails.size(), 4u) << "the broken picture is listed without a thumbnail";
    const std::vector<PictureSize> expected = {{100, 50}, {160, 120}, {64, 64}, {80, 160}};
    for (size_t i = 0; i < thumbnails.size(); ++i) {
        std::string path = percentDecoded(thumbnails[i]);
        for (char& c : path)
            if (c == '/')
                c = '\\';
        const std::optional<PictureSize> size = decodedSize(pictures_.file(path));
        ASSERT_TRUE(size.has_value()) << path;
        EXPECT_EQ(*size, expected[i]) << path;
    }

    ASSERT_TRUE(wintest::poll([&] { return opened_.read().has_value(); }));
    EXPECT_NE(opened_.read()->find(pictures_.file("album.htm")), std::string::npos)
        << *opened_.read();
}

TEST_F(ThumbnailAlbum, CancellingTheFolderChoiceIsNoFailureAndWritesNothing) {
    writePictures();
    ComPtr<vx::IThumbnailAlbum> album = create();
    ASSERT_TRUE(album);
    FolderDialogUser user({IDCANCEL});
    EXPECT_EQ(album->CreateAlbum(), S_FALSE);
    EXPECT_FALSE(pictures_.read("album.htm").has_value());
    EXPECT_EQ(GetFileAttributesA(pictures_.file("thumbnails").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ThumbnailAlbum, AFolderWithoutPicturesFailsAndVexaroShowsTheSystemText) {
    ASSERT_TRUE(pictures_.write("notes.txt", "holiday notes"));
    ComPtr<vx::IThumbnailAlbum> album = create();
    ASSERT_TRUE(album);
    {
        FolderDialogUser user({IDOK}, saveFolderName());
        EXPECT_EQ(album->CreateAlbum(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    }
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    ui::Bstr description;
    info->GetDescription(description.out());
    EXPECT_EQ(description.toAnsi(), "The folder holds no JPEG, PNG, GIF or BMP pictures.");

    std::string expected =
        ui::systemErrorText(static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)))
            .value_or("");
    while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r'))
        expected.pop_back();
    ASSERT_FALSE(expected.empty());
    wintest::MessageBoxCatcher boxes({IDOK});
    FolderDialogUser user({IDOK}, saveFolderName());
    vx::createThumbnailAlbum(nullptr);
    ASSERT_TRUE(boxes.waitForCount(1));
    EXPECT_EQ(boxes.boxes()[0].text, expected);
    EXPECT_FALSE(pictures_.read("album.htm").has_value());
}

TEST_F(ThumbnailAlbum, AFolderThatCannotBeWrittenFailsWithTheFileError) {
    ASSERT_TRUE(writePicture(pictures_.file("harbour.jpg"), GUID_ContainerFormatJpeg, {64, 48}));
    // The page's name is taken by a folder, so the page cannot be opened for writing.
    ASSERT_TRUE(CreateDirectoryA(pictures_.file("album.htm").c_str(), nullptr));
    ComPtr<vx::IThumbnailAlbum> album = create();
    ASSERT_TRUE(album);
    FolderDialogUser user({IDOK}, saveFolderName());
    EXPECT_EQ(album->CreateAlbum(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFileAttributesA(pictures_.file("thumbnails").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(opened_.read().has_value());
}

TEST_F(ThumbnailAlbum, AutomationClientsReachTheOperationByName) {
    ComPtr<vx::IThumbnailAlbum> album = create();
    ASSERT_TRUE(album);
    LPOLESTR name = const_cast<LPOLESTR>(L"CreateAlbum");
    DISPID id = 0;
    ASSERT_EQ(album->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 1);
    FolderDialogUser user({IDCANCEL});
    DISPPARAMS none{};
    EXPECT_EQ(album->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                            nullptr, nullptr),
              S_OK);
    EXPECT_EQ(user.answered(), 1);
}

}  // namespace
