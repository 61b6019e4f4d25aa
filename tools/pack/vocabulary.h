// Names that retrax-pack shows and accepts: chunk tags, registry roots, file
// flags, header flags, folder macros and the meaning of each message index.
// The manifest reader, the dump and the lint all speak the same words.
#pragma once
#include <stdint.h>

#include <string>

namespace packtool {

// "CHUNK_FILES", or "" for a tag the uninstaller does not know.
const char* ChunkTagName(uint16_t tag);

// Predefined registry roots by their short names (HKLM ...). The long
// HKEY_... names are accepted too. Returns false for an unknown name.
bool ParseRootName(const std::string& name, uint32_t* root);
// "HKLM", or "" for a value that is no predefined root.
const char* RootName(uint32_t root);
enum : uint32_t {
  ROOT_HKCR = 0x80000000u,
  ROOT_HKCU = 0x80000001u,
  ROOT_HKLM = 0x80000002u,
  ROOT_HKU = 0x80000003u,
  ROOT_HKPD = 0x80000004u,
  ROOT_HKCC = 0x80000005u,
  ROOT_HKDD = 0x80000006u,
};

// File flags: "shared", "font", "component", "checkInUse".
bool ParseFileFlag(const std::string& name, uint8_t* bit);
// "shared, component", with "0x30" for bits without a name.
std::string FileFlagNames(uint8_t flags);

// "waitForCommand, keepVisualStyles", with the hex value of unnamed bits.
std::string HeaderFlagNames(uint32_t flags);

// Message indices 0-15: what the uninstaller uses each one for, whether it
// is formatted with one "%s", and what an empty message does (null when an
// empty message is a sensible choice).
struct MessageUse {
  const char* meaning;
  bool takesArgument;
  const char* whenEmpty;
};
// Index 16 and above: a shared entry "not used by the uninstaller".
const MessageUse& MessageUseOf(size_t index);

// The folder macros the uninstaller expands (#Windows# ... #InstallDir#,
// from the program's own table), compared without regard to the case of
// ASCII letters; a protected macro names a folder the uninstaller never
// removes (#InstallDir# does not).
bool IsKnownMacro(const std::u16string& token);
bool IsProtectedMacro(const std::u16string& token);

// Whose a macro's folder is: the machine's (Windows, system, program files,
// common files, the all-users folders), one user's (profile, application
// data, documents, desktop), or neither (#TempDir#, #InstallDir#, unknown).
enum FolderOwner { OWNER_NONE, OWNER_MACHINE, OWNER_USER };
FolderOwner MacroOwner(const std::u16string& token);

}  // namespace packtool
