#pragma once
// The programs' manifests ask for the version 6 common controls; a test
// program has no manifest of its own, so it takes them through an activation
// context that stays active on the main thread while the program runs.
// Picture buttons show their glyphs only there.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

class TCommonControls6 {
 public:
  TCommonControls6() {
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    FPath = std::wstring(dir) + L"plover-comctl6-" + std::to_wstring(GetCurrentProcessId()) + L".manifest";
    {
      std::ofstream out(std::filesystem::path(FPath), std::ios::binary);
      out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
             "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
             "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" "
             "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/></dependentAssembly></dependency>\n"
             "</assembly>\n";
    }
    ACTCTXW ctx{};
    ctx.cbSize = sizeof ctx;
    ctx.lpSource = FPath.c_str();
    FContext = CreateActCtxW(&ctx);
    if (FContext != INVALID_HANDLE_VALUE && !ActivateActCtx(FContext, &FCookie)) {
      ReleaseActCtx(FContext);
      FContext = INVALID_HANDLE_VALUE;
    }
  }
  ~TCommonControls6() {
    if (FContext != INVALID_HANDLE_VALUE) {
      DeactivateActCtx(0, FCookie);
      ReleaseActCtx(FContext);
    }
    DeleteFileW(FPath.c_str());
  }
  TCommonControls6(const TCommonControls6&) = delete;
  TCommonControls6& operator=(const TCommonControls6&) = delete;
  bool Active() const { return FContext != INVALID_HANDLE_VALUE; }

 private:
  std::wstring FPath;
  HANDLE FContext = INVALID_HANDLE_VALUE;
  ULONG_PTR FCookie = 0;
};
