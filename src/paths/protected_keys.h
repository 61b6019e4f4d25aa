// The registry keys that hold other programs' data, as plain data without
// the platform's headers: the registry phase never deletes one of them
// (removal/registry_removal.cpp), and retrax-pack checks manifests against
// the same table.
#pragma once
#include <stdint.h>

#include "payload/format.h"

// Root values as the payload stores them (the HKEY_* constants).
enum RegistryRootId : uint32_t {
  REGISTRY_CLASSES_ROOT = 0x80000000u,
  REGISTRY_CURRENT_USER = 0x80000001u,
  REGISTRY_LOCAL_MACHINE = 0x80000002u,
  REGISTRY_USERS = 0x80000003u,
};

// True when the key root\path is one that no single application owns: the
// top-level keys (Software, System, the empty path), Software\Wow6432Node
// and the well-known shared keys below them (the Uninstall and Run keys of
// Software\Microsoft\Windows\CurrentVersion, Software\Classes\CLSID, the
// control sets, HKEY_USERS' hives...). Compared without regard to ASCII case,
// after HKLM's "Software64" alias, with runs of backslashes taken as one and
// leading and trailing ones ignored. Only the key itself is protected: a
// subkey (Uninstall\MyApp) or a value is not. Null is the empty path.
bool IsProtectedRegistryKey(uint32_t root, const RxChar* path);
