// Decoding a picture file's bytes with the Windows Imaging Component.
#include "platform/forms/DecodePicture.h"

#include "platform/forms/win32/Picture.h"

#include <new>
#include <objbase.h>
#include <shlwapi.h>
#include <string>
#include <wincodec.h>

namespace platform::forms {

namespace {

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

} // namespace

// The first image of the file, as premultiplied BGRA pixels in a DIB section;
// WIC tells the formats apart itself.
Picture DecodePicture(const std::string& bytes, PictureFormat) {
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

} // namespace platform::forms
