// The run: start-up and teardown of the process-wide state, the deletion
// mode, the uninstall sequence, and the reading and release of the payload
// carried in the program's own file.
#pragma once
#include <windows.h>
#include <stdint.h>

// Learns the platform family into run.isNT and run.isNT6.
void DetectPlatform();

// Stores the instance, starts OLE, loads theme support, allocates the four
// path buffers and fills installDir. False only when the heap cannot give
// the buffers; TeardownRun is due in either case.
bool InitialiseRun(HINSTANCE instance);

// Releases what InitialiseRun set up, also after a partial start.
void TeardownRun();

// The /D mode: deletes the file named in workPath, retrying for about 12 s
// while the uninstaller that started us still runs from it, then its folder
// if that is empty.
void FinishDeletion();

// The whole uninstall sequence, from reading the payload to self-removal.
// Returns the exit code: -1 when the payload cannot be read or the main
// window cannot be created, else 0; under /N also 3010 when something was
// scheduled for removal at restart and 1602 when a listed program was
// running. Opens and closes the log of /L around it all.
int RunUninstall();

// The sequence after a successful read: confirmation, removal, closing
// message, clean-up and self-removal. Releases the payload data.
int RunUninstallSteps();

// The removal itself, once the run may go on: the extension library and the
// pre-uninstall command, every phase in its order with the progress window
// unless quiet, then the closing message and the final page. The
// uninstall benchmark times it alone, after the start-up.
void RemoveEverything();

// Opens the progress dialog over the main window and sets progressTotal;
// without a dialog the run goes on with progressTotal 0.
void CreateProgressWindow();

// Reads the payload behind payloadOffset in the program's own file into
// uninstallData and fills modulePath. A read error or an exhausted heap is
// reported with the message whose index is the status, quiet or not; no
// payload, or no program file to open, fails silently.
bool ReadUninstallPayload();

// Walks the payload that begins at offset in the file at path into
// uninstallData. A payload status, or PAYLOAD_NO_FILE when the file cannot be
// opened.
int ReadPayloadFromFile(const wchar_t* path, uint32_t offset);

// Unloads the extension library, then releases every block the payload
// filled.
void ReleaseUninstallData();
