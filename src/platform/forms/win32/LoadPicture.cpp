#include "platform/forms/LoadPicture.h"

#include "platform/forms/win32/Picture.h"
#include "platform/system/regular_file.h"

#include <new>
#include <objbase.h>
#include <shlwapi.h>
#include <string>
#include <wincodec.h>

namespace platform::forms {

namespace {

const char* const NotAPicture = "not a readable picture";

// Previews are a few hundred kilobytes; a file larger than this is not taken
// for a picture, so a wrong file cannot exhaust the memory.
constexpr std::size_t MaxPictureSize = std::size_t(256) << 20;

// Whether a file's first bytes announce a format the loader reads: JPEG,
// GIF, BMP, ICO or CUR. No other decoder ever sees a file.
bool IsReadableFormat(const std::string& bytes) {
    const auto startsWith = [&bytes](const char* head, std::size_t n) {
        return bytes.size() >= n && bytes.compare(0, n, head, n) == 0;
    };
    return startsWith("\xFF\xD8\xFF", 3) || startsWith("GIF87a", 6) || startsWith("GIF89a", 6) ||
           startsWith("BM", 2) || startsWith("\0\0\1\0", 4) || startsWith("\0\0\2\0", 4);
}

Picture Fail(std::string* error, const std::string& reason) {
    if (error) {
        *error = reason;
    }
    return {};
}

// The decoders' libraries are loaded when the first picture file is, not
// as the program starts: the main window shows none, and loading COM and the
// codecs would hold up its first paint.
struct Decoders {
    decltype(&CoInitializeEx) coInitializeEx = nullptr;
    decltype(&CoCreateInstance) coCreateInstance = nullptr;
    decltype(&SHCreateMemStream) shCreateMemStream = nullptr;
    decltype(&WICConvertBitmapSource) wicConvertBitmapSource = nullptr;
    bool loaded() const {
        return coInitializeEx && coCreateInstance && shCreateMemStream && wicConvertBitmapSource;
    }
};

template <typename F> void Find(F& function, const wchar_t* library, const char* name) {
    if (HMODULE module = LoadLibraryW(library)) {
        function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
}

const Decoders& LoadedDecoders() {
    static const Decoders decoders = [] {
        Decoders d;
        Find(d.coInitializeEx, L"ole32.dll", "CoInitializeEx");
        Find(d.coCreateInstance, L"ole32.dll", "CoCreateInstance");
        Find(d.shCreateMemStream, L"shlwapi.dll", "SHCreateMemStream");
        Find(d.wicConvertBitmapSource, L"windowscodecs.dll", "WICConvertBitmapSource");
        return d;
    }();
    return decoders;
}

template <typename T> void Release(T*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

// The first image of the file, as premultiplied BGRA pixels in a DIB section.
Picture Decode(const std::string& bytes) {
    const Decoders& d = LoadedDecoders();
    if (!d.loaded()) {
        return {};
    }
    // The codecs are COM objects; a thread that has not started COM does here.
    const HRESULT com = d.coInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)com;
    IWICImagingFactory* factory = nullptr;
    IStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICBitmapSource* converted = nullptr;
    Picture picture;
    UINT width = 0;
    UINT height = 0;
    stream = d.shCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<UINT>(bytes.size()));
    if (stream &&
        SUCCEEDED(d.coCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(&factory))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                   &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(d.wicConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, frame, &converted)) &&
        SUCCEEDED(converted->GetSize(&width, &height)) && width > 0 && height > 0 &&
        width <= 65535 && height <= 65535) {
        void* bits = nullptr;
        HBITMAP bitmap =
            win32::MakeDibSection(static_cast<int>(width), static_cast<int>(height), &bits);
        if (bitmap && SUCCEEDED(converted->CopyPixels(nullptr, width * 4, width * height * 4,
                                                      static_cast<BYTE*>(bits)))) {
            picture =
                win32::PictureOfBitmap(bitmap, static_cast<int>(width), static_cast<int>(height));
        } else if (bitmap) {
            DeleteObject(bitmap);
        }
    }
    Release(converted);
    Release(frame);
    Release(decoder);
    Release(factory);
    Release(stream);
    return picture;
}

} // namespace

Picture LoadPicture(const std::string& path, std::string* error) {
    // A pipe in place of a picture cannot hang the window: it is refused.
    platform::RegularFile file;
    try {
        file = platform::ReadRegularFile(path.c_str(), MaxPictureSize);
    } catch (const std::bad_alloc&) {
        return Fail(error, NotAPicture);
    }
    using Status = platform::RegularFile::Status;
    if (file.status == Status::Missing || file.status == Status::NotOpened) {
        // It could not be opened: the system says why.
        return Fail(error, platform::SystemErrorText(file.systemError));
    }
    if (file.status != Status::Read || !IsReadableFormat(file.bytes)) {
        return Fail(error, NotAPicture);
    }
    Picture picture = Decode(file.bytes);
    if (picture.IsEmpty()) {
        return Fail(error, NotAPicture);
    }
    return picture;
}

} // namespace platform::forms
