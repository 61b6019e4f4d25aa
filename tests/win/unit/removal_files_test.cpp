// Fonts and components of the file phase in this process: the font's name
// and registration value; component unregistration, by regsvr32 or here.
#include "removal/removal.h"
#include "unit_test_support.h"

namespace {

// TrueType files reduced to what the font-name reader looks at: the table
// directory and a 'name' table of the records a test asks for.
struct NameRecord {
  uint16_t platform, nameId;  // 1 Macintosh, 3 Windows; 4 the full name
  std::string bytes;
};

std::vector<uint8_t> Font(const std::vector<NameRecord>& names) {
  std::vector<uint8_t> font;
  auto u16 = [&](size_t v) { font.insert(font.end(), {uint8_t(v >> 8), uint8_t(v)}); };
  std::string strings;
  for (const NameRecord& r : names) strings += r.bytes;
  // One table: 'name' at offset 28, after the 12-byte header and its record.
  u16(1), u16(0), u16(1), u16(0), u16(0), u16(0);
  font.insert(font.end(), {'n', 'a', 'm', 'e'});
  u16(0), u16(0), u16(0), u16(28), u16(0), u16(6 + 12 * names.size() + strings.size());
  u16(0), u16(names.size()), u16(6 + 12 * names.size());
  size_t at = 0;
  for (const NameRecord& r : names) {
    u16(r.platform), u16(r.platform == 1 ? 0 : 1), u16(r.platform == 1 ? 0 : 0x409), u16(r.nameId);
    u16(r.bytes.size()), u16(at);
    at += r.bytes.size();
  }
  font.insert(font.end(), strings.begin(), strings.end());
  return font;
}

// What the fake CreateProcessW was given, and whether it starts it.
bool childStarts;
std::wstring childProgram, childCommand;

BOOL WINAPI FakeCreateProcess(LPCWSTR program, LPWSTR command, LPSECURITY_ATTRIBUTES a, LPSECURITY_ATTRIBUTES b,
                              BOOL inherit, DWORD flags, LPVOID environment, LPCWSTR folder, LPSTARTUPINFOW startup,
                              LPPROCESS_INFORMATION info) {
  childProgram = program != nullptr ? program : L"(none)";
  childCommand = command;
  if (!childStarts) return SetLastError(ERROR_FILE_NOT_FOUND), FALSE;
  return CreateProcessW(program, command, a, b, inherit, flags, environment, folder, startup, info);
}

EXCEPTION_REGISTRATION_RECORD* ChainHead() {
  EXCEPTION_REGISTRATION_RECORD* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

class FilePhase : public RunTest {
 protected:
  // Installs the embedded component as lib\<name> and puts its path in
  // workPath, as the file phase does; regsvr32 is started by the fake.
  std::wstring InstallComponent(const wchar_t* resource, const std::wstring& name) {
    harness::Bytes dll;
    EXPECT_TRUE(harness::LoadEmbeddedFile(resource, &dll) && sandbox.WriteFile(L"lib\\" + name, dll));
    wcscpy(run.workPath, sandbox.Path(L"lib\\" + name).c_str());
    sys.CreateProcessW = FakeCreateProcess;
    return run.workPath;
  }
  // The component's log: one "<program>|<current folder>" line per call.
  std::string Log(const std::wstring& component) {
    harness::Bytes log;
    harness::ReadWholeFile(component + L".log", &log);
    return std::string(log.begin(), log.end());
  }
  harness::Sandbox sandbox;
};

// The last Macintosh full-name record. A cut file gives no name: neither
// the buffer's old text nor an earlier record's name, nor one whose tail
// is missing.
TEST_F(FilePhase, AFontsNameIsTheLastMacintoshFullNameRecordOrNone) {
  const harness::Bytes two = Font({{1, 4, "First"}, {1, 4, "Second"}, {3, 4, "Win"}, {1, 1, "Rx"}});
  const struct {
    harness::Bytes font;
    size_t capacity;
    const wchar_t* name;  // "" for none
  } cases[] = {
      {two, 520, L"Second"},
      {harness::Bytes(two.begin(), two.end() - 7), 520, L""},  // into "Second"
      {Font({{1, 4, "Eleven char"}}), 12, L"Eleven char"},
      {Font({{1, 4, "Twelve chars"}}), 12, L""},  // refused, not cut
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(sandbox.WriteFile(L"font.ttf", c.font));
    wchar_t name[520] = L"Stale Name";
    ReadFontFaceName(sandbox.Path(L"font.ttf").c_str(), name, c.capacity);
    EXPECT_STREQ(name, c.name);
  }
}

// The font's value goes when it names this file (by full path here, or by
// file name for a font in the Fonts folder); a value of the same font name
// for a copy elsewhere stays.
TEST_F(FilePhase, OnlyTheFontRegistrationThatNamesThisFileGoes) {
  run.isNT = true;
  const std::string family = "Rx Unit " + std::to_string(GetCurrentProcessId());
  const std::wstring value = std::wstring(family.begin(), family.end()) + L" Regular (TrueType)";
  ASSERT_TRUE(sandbox.WriteFile(L"mine.ttf", Font({{1, 4, family + " Regular"}})));
  const std::wstring mine = sandbox.Path(L"mine.ttf");
  HKEY key;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", &key), 0);
  auto removedWith = [&](const std::wstring& data) {
    RegSetValueExW(key, value.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(), DWORD(2 * data.size() + 2));
    RemoveFontFile(mine.c_str());
    return RegQueryValueExW(key, value.c_str(), nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS;
  };
  EXPECT_FALSE(removedWith(sandbox.Path(L"theirs.ttf")));
  std::wstring upper = mine;
  CharUpperW(&upper[0]);
  EXPECT_TRUE(removedWith(upper));
  RegDeleteValueW(key, value.c_str());
  RegCloseKey(key);
}

// regsvr32 is never found by search in the program's or the current folder.
TEST_F(FilePhase, OnNt6RegsvrUnregistersAComponentByItsFullPath) {
  run.isNT6 = true;
  childStarts = true;
  const std::wstring component = InstallComponent(L"RETRAX_TEST_COMPONENT_DLL", L"component.dll");
  UnregisterComponent();
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(childProgram, std::wstring(system) + L"\\regsvr32.exe");
  EXPECT_EQ(childCommand, L"regsvr32 /u /s \"" + component + L"\"");
  EXPECT_EQ(Log(component).substr(0, 13), "regsvr32.exe|");
  EXPECT_STREQ(run.workPath, component.c_str()) << "the file phase deletes what workPath names next";
}

// Below NT 6, or when regsvr32 cannot be started, the call is made here from
// the component's folder: it finds the library it imports beside it; three
// faults in a row, each contained, leave the thread's exception chain as it
// was (a fault after the guard must reach the handlers it had).
TEST_F(FilePhase, InProcessAComponentFindsItsLibrariesAndItsFaultsAreContained) {
  SelectSystemCalls();
  harness::Bytes helper;
  ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_TEST_EXTENSION_HELPER_DLL", &helper) &&
              sandbox.WriteFile(L"lib\\retrax_test_extension_helper.dll", helper));
  const std::wstring dependent = InstallComponent(L"RETRAX_TEST_COMPONENT_DEPENDENT_DLL", L"dependent.dll");
  childStarts = false;
  UnregisterComponent();
  const std::string line = "retrax_win_unit.exe|" + harness::Narrow(sandbox.Path(L"lib")) + "\n";
  EXPECT_EQ(Log(dependent), line);

  const std::wstring component = InstallComponent(L"RETRAX_TEST_COMPONENT_CRASH_DLL", L"crash.dll");
  EXCEPTION_REGISTRATION_RECORD* const head = ChainHead();
  for (int i = 0; i < 3; ++i) {
    run.isNT6 = i == 2;
    UnregisterComponent();
  }
  EXPECT_EQ(ChainHead(), head);
  EXPECT_EQ(Log(component), line + line + line);
  EXPECT_EQ(GetModuleHandleW(L"crash.dll"), nullptr) << "the library is freed after the fault";
}

}  // namespace
