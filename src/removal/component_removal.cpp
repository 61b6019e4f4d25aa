// Self-registering components: before the file phase deletes one, the
// library removes its own registration through its DllUnregisterServer.
#include <windows.h>
#include <setjmp.h>

#include "driver/run_state.h"
#include "paths/path_ops.h"
#include "payload/memory.h"
#include "platform/system_calls.h"
#include "removal/removal.h"

namespace {

// No dialog for a missing dependency or a drive that is not ready.
const UINT kQuietErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
enum { COMMAND_UNITS = 520 };

typedef HRESULT(WINAPI* UnregisterFunction)();

// An exception registration record of our own, linked at the head of the
// thread's chain at fs:0 for the span of the foreign call. g++ has no
// __try; catch (...) does not see a hardware fault, and mingw's __try1
// macros break under g++'s frame layout. The handler jumps back to the
// setjmp point: i686 mingw's setjmp is msvcrt's _setjmp3, whose longjmp
// unwinds the chain (the library's own frames and this record) down to the
// record that was at the head when setjmp ran, so fs:0 is left alone until
// then. Works on every Windows, unlike a vectored handler (XP and later).
struct FaultGuard {
  EXCEPTION_REGISTRATION_RECORD record;
  jmp_buf resume;
};

EXCEPTION_DISPOSITION WINAPI ContainFault(EXCEPTION_RECORD* exception, void* frame, CONTEXT*, void*) {
  // The unwind that our own longjmp starts passes here again; let it pass.
  if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  longjmp(static_cast<FaultGuard*>(frame)->resume, 1);
}

EXCEPTION_REGISTRATION_RECORD* ChainHead() {
  EXCEPTION_REGISTRATION_RECORD* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetChainHead(EXCEPTION_REGISTRATION_RECORD* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

void CallContained(UnregisterFunction function) {
  FaultGuard guard;
  guard.record.Next = ChainHead();
  guard.record.Handler = ContainFault;
  if (setjmp(guard.resume) == 0) {
    SetChainHead(&guard.record);
    function();
  }
  SetChainHead(guard.record.Next);
}

// "regsvr32 /u /s" in a child process. False when it could not be started;
// once started, the unregistration counts as done, whatever it returned.
bool UnregisterInChildProcess(const wchar_t* path) {
  // Started by its full path: a bare name is looked for in the program's
  // own folder and the current folder first, where an elevated process
  // must not find a planted "regsvr32.exe". A 32-bit process on 64-bit
  // Windows is sent from System32 to the 32-bit program in SysWOW64.
  wchar_t program[RX_MAX_PATH];
  const UINT length = sys.GetSystemDirectoryW(program, RX_MAX_PATH);
  if (length == 0 || length >= RX_MAX_PATH || !AddBackslash(program) ||
      !AppendText(program, RX_MAX_PATH, L"regsvr32.exe"))
    return false;
  wchar_t* command = nullptr;
  if (!MemAllocZeroed(COMMAND_UNITS * sizeof(wchar_t), &command)) return false;
  bool started = false;
  if (CopyText(command, COMMAND_UNITS, L"regsvr32 /u /s \"") && AppendText(command, COMMAND_UNITS, path) &&
      AppendText(command, COMMAND_UNITS, L"\"")) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    started = sys.CreateProcessW(program, command, nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                                 nullptr, &startup, &child) != FALSE;
    if (started) {
      // Waited for on its handle: polling the exit code would never end for
      // a child that exits with 259, the value of STILL_ACTIVE.
      WaitForSingleObject(child.hProcess, INFINITE);
      CloseHandle(child.hThread);
      CloseHandle(child.hProcess);
    }
  }
  MemRelease(&command);
  return started;
}

// Loads the library into this process, with its own folder as the current
// folder, and calls its export inside a guard against any fault it raises.
// The libraries it imports are looked for in its own folder and the system
// folder: the restricted search of the process would find those beside it
// nowhere, and it would stay registered after its file went.
void UnregisterInProcess(const wchar_t* path) {
  wchar_t previous[RX_MAX_PATH];
  GetCurrentFolder(previous);
  RemoveBackslash(previous);
  wchar_t folder[RX_MAX_PATH];
  if (CopyText(folder, RX_MAX_PATH, path)) {
    wchar_t* slash = FindLastBackslash(folder);
    if (slash != nullptr) {
      *slash = 0;
      SetCurrentFolder(folder);
    }
  }
  HMODULE library = LoadLibraryByPath(path, true);
  if ((UINT_PTR)library >= 32) {
    UnregisterFunction unregister = (UnregisterFunction)(void*)GetProcAddress(library, "DllUnregisterServer");
    if (unregister != nullptr) CallContained(unregister);
    FreeLibrary(library);
  }
  if (previous[0] != 0) SetCurrentFolder(previous);
}

}  // namespace

void UnregisterComponent() {
  const UINT previous = SetErrorMode(kQuietErrorMode);
  if (!run.isNT6 || !UnregisterInChildProcess(run.workPath)) UnregisterInProcess(run.workPath);
  SetErrorMode(previous);
}
