// The payload's messages as the program shows them: every caption, question
// and report comes from the message table; the program has no text of its
// own.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "payload/format.h"

// Message index of language slot 0 (the only slot), or the shared empty
// string; never null, never to be written.
const wchar_t* GetMessageText(int slot, int index);

// The message with the argument in place of its "%s", into out, which holds
// capacity units (MESSAGE_BUFFER_UNITS, 2048 bytes, for every caller). The
// message is payload text and never treated as a format; a result longer
// than the buffer is cut at its end.
void FormatMessageText(wchar_t* out, int index, const wchar_t* argument,
                       uint32_t capacity = MESSAGE_BUFFER_UNITS);

// MessageBoxW owned by the main window (none before it exists), captioned
// with message 0. The button pressed, or 0 when no box could be shown.
int ShowMessageBox(const wchar_t* text, UINT style);
