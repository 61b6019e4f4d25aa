// The user interface: the hidden main window that owns every box and dialog,
// the question and progress dialogs, the progress update and the message
// pump. Everything runs on the one thread of the program; window messages
// are dispatched only in PumpMessages, DestroyMainWindow and the modal loops
// of message boxes and the question dialog.
#pragma once
#include <windows.h>
#include <stdint.h>

// Loads uxtheme.dll from the system folder (when the platform has it) and
// registers the common controls. Runs once, at start-up.
void LoadThemeSupport();

// Keeps visual styles for window frames only; dialog contents and controls
// are drawn in the classic style. Nothing happens without uxtheme.
void RestrictVisualStyles();

// The shared dialog font and the theme library; also after early failures.
void ReleaseUiResources();

extern const wchar_t kMainWindowClass[];  // "RetraxClass"
enum { MAIN_WINDOW_WIDTH = 320, MAIN_WINDOW_HEIGHT = 200 };

bool RegisterMainWindowClass();

// Top left corner of the main window on a screen of that size: centred, or
// at 0 on an axis where the screen is smaller than the window.
void GetMainWindowOrigin(int screenWidth, int screenHeight, int* x, int* y);

// Creates the hidden main window (never shown) and sets run.mainWindow.
bool CreateMainWindow();

// Destroys the main window and dispatches what is left in the queue up to
// the quit message its destruction posts. Clears run.mainWindow.
void DestroyMainWindow();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Gives every direct child of the dialog the normal-weight form of the
// dialog's font, made from the first dialog that asks and then shared.
void ApplyDialogFont(HWND dialog);

// Dialog 109: the question (the creation parameter) with the four answer
// buttons labelled by messages 3 to 6. Any command ends it with its
// identifier: 6, 1001, 7, 1002, or IDCANCEL from Esc and the close box.
INT_PTR CALLBACK QuestionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs dialog 109 modally over the main window; the dialog's result, or -1
// when it could not be shown. The caller formats the question and reads the
// answer.
INT_PTR ShowQuestionDialog(const wchar_t* question);

// Dialog 110: swallows every command, so Esc, Enter and the close box leave
// it open; only the uninstall sequence ends it.
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Moves the bar to the percentage (above 100 counts as 100) and services the
// windows, but only when the shown percentage changes.
void SetProgress(uint32_t percentage);

// Dispatches every message already queued and returns; never waits.
void PumpMessages();
