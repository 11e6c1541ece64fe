#pragma once
// Screenshots of windows for the end-to-end runs: what is on the screen in a
// window's rectangle, saved as PNG (through the system's imaging codecs) or,
// where those are missing, as BMP.
#include <windows.h>
#include <wincodec.h>

#include <string>
#include <vector>

#include "WinHandles.h"
#include "win/ScopedCom.h"

namespace shots {

// The codec identifiers, spelled out so no import library is needed.
inline constexpr GUID kCLSID_WICImagingFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
inline constexpr GUID kContainerFormatPng = {0x1b7cfaf4, 0x713f, 0x473c, {0xbb, 0xcd, 0x61, 0x37, 0x42, 0x5f, 0xae, 0xaf}};
inline constexpr GUID kPixelFormat32bppBGRA = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0f}};

inline bool SavePng(const std::wstring& path, int w, int h, const std::vector<BYTE>& pixels) {
  TComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(kCLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              __uuidof(IWICImagingFactory), factory.PutVoid())))
    return false;
  TComPtr<IWICStream> stream;
  TComPtr<IWICBitmapEncoder> encoder;
  TComPtr<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = kPixelFormat32bppBGRA;
  return SUCCEEDED(factory->CreateStream(stream.Put())) &&
         SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
         SUCCEEDED(factory->CreateEncoder(kContainerFormatPng, nullptr, encoder.Put())) &&
         SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
         SUCCEEDED(encoder->CreateNewFrame(frame.Put(), nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
         SUCCEEDED(frame->SetSize(static_cast<UINT>(w), static_cast<UINT>(h))) &&
         SUCCEEDED(frame->SetPixelFormat(&format)) &&
         SUCCEEDED(frame->WritePixels(static_cast<UINT>(h), static_cast<UINT>(w * 4),
                                      static_cast<UINT>(pixels.size()), const_cast<BYTE*>(pixels.data()))) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

inline bool SaveBmp(const std::wstring& path, int w, int h, const std::vector<BYTE>& pixels) {
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = w;
  info.biHeight = -h;
  info.biPlanes = 1;
  info.biBitCount = 32;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  TKernelHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (out.Get() == INVALID_HANDLE_VALUE) {
    out.Release();
    return false;
  }
  DWORD written = 0;
  return WriteFile(out.Get(), &file, sizeof file, &written, nullptr) &&
         WriteFile(out.Get(), &info, sizeof info, &written, nullptr) &&
         WriteFile(out.Get(), pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
}

// Saves what the screen shows of the window; returns the file written
// (basePath plus ".png" or ".bmp"), empty on failure.
inline std::wstring SaveWindow(HWND wnd, const std::wstring& basePath) {
  RECT r{};
  GetWindowRect(wnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return {};
  TClientDC screen(nullptr);
  TMemDC mem(CreateCompatibleDC(screen.Get()));
  TBitmapHandle bmp(CreateCompatibleBitmap(screen.Get(), w, h));
  {
    TSelectObject sel(mem.Get(), bmp.Get());
    BitBlt(mem.Get(), 0, 0, w, h, screen.Get(), r.left, r.top, SRCCOPY | CAPTUREBLT);
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<BYTE> pixels(static_cast<size_t>(w) * h * 4);
  GetDIBits(mem.Get(), bmp.Get(), 0, static_cast<UINT>(h), pixels.data(), &info, DIB_RGB_COLORS);
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0xFF;  // opaque
  if (SavePng(basePath + L".png", w, h, pixels)) return basePath + L".png";
  if (SaveBmp(basePath + L".bmp", w, h, pixels)) return basePath + L".bmp";
  return {};
}

}  // namespace shots
