// The payloadOffset field: where the uninstall payload begins in the program
// file. retrax-pack and installers find it behind the 6-byte marker and the
// build writes the program's own length into it, so a program file shipped
// without payload reads as "payload at end of file".
#pragma once
#include <stdint.h>

// 0 means the program carries no payload at all.
uint32_t GetPayloadOffset();
