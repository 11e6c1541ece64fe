#pragma once
// The DLL as a whole: its module handle, the counts that decide whether it
// may be unloaded, and the type library it carries as a resource.
#include <windows.h>
#include <oaidl.h>

#include <string>

HMODULE ModuleHandle();
std::wstring ModulePath();

// Live objects and windows keep the DLL loaded; so does LockServer.
void ModuleAddRef();
void ModuleRelease();

// Held by an object for its whole life: as the first member it is released
// last, after everything else the object owns has gone.
class TModuleRef {
 public:
  TModuleRef() { ModuleAddRef(); }
  TModuleRef(const TModuleRef&) = delete;
  TModuleRef& operator=(const TModuleRef&) = delete;
  ~TModuleRef() { ModuleRelease(); }
};

// The type information of IPloverDriver4, loaded once from the module's own
// resource (not from the registry), so by-name access works unregistered.
// Not AddRef'ed: it lives as long as the process.
ITypeInfo* DriverTypeInfo();

// The module's file version as "a.b.c.d", from its version resource.
const std::wstring& ModuleVersionText();
