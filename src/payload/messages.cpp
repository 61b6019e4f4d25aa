// The message table: reading it from its chunk, looking messages up, and
// the one-argument formatting of the reports and questions.
#include <string.h>

#include "payload/memory.h"
#include "payload/uninstall_data.h"

const RxChar kEmptyText[1] = {0};

namespace {

int ReadExact(PayloadSource* source, uint64_t* left, void* buffer, uint32_t count) {
  if (count > *left) return PAYLOAD_READ_ERROR;
  if (source->read(source->context, buffer, count) != 0) return PAYLOAD_READ_ERROR;
  *left -= count;
  return PAYLOAD_OK;
}

int ReadCount(PayloadSource* source, uint64_t* left, uint16_t* value) {
  uint8_t raw[2];
  int status = ReadExact(source, left, raw, 2);
  *value = (uint16_t)(raw[0] | (raw[1] << 8));
  return status;
}

void ReleaseTable(RxChar*** table) {
  if (!*table) return;
  for (RxChar** entry = *table; *entry; ++entry) MemRelease(entry);
  MemRelease(table);
}

}  // namespace

int ReadMessageTable(PayloadSource* source, const ChunkHeader* header, UninstallData* data) {
  uint64_t pos = source->getPos(source->context);
  uint64_t left = pos < source->length ? source->length - pos : 0;
  if (header->size < left) left = header->size;

  uint16_t tableCount;
  int status = ReadCount(source, &left, &tableCount);
  if (status != PAYLOAD_OK || tableCount == 0) return status;
  // Only the first table is read; the walk moves past the others.
  uint16_t stringCount;
  status = ReadCount(source, &left, &stringCount);
  if (status != PAYLOAD_OK || stringCount == 0) return status;
  if ((uint64_t)stringCount * 2 > left) return PAYLOAD_READ_ERROR;

  // The new table is built aside and replaces the earlier one only when it
  // is complete, so a failure leaves no half table behind.
  RxChar** table;
  if (!MemAllocZeroed(((size_t)stringCount + 1) * sizeof(RxChar*), &table))
    return PAYLOAD_OUT_OF_MEMORY;
  for (uint32_t i = 0; i < stringCount && status == PAYLOAD_OK; ++i) {
    uint16_t units;
    status = ReadCount(source, &left, &units);
    if (status != PAYLOAD_OK) break;
    if ((uint64_t)units * 2 > left) {
      status = PAYLOAD_READ_ERROR;
      break;
    }
    if (!MemAllocZeroed(((size_t)units + 1) * sizeof(RxChar), &table[i])) {
      status = PAYLOAD_OUT_OF_MEMORY;
      break;
    }
    status = ReadExact(source, &left, table[i], (uint32_t)units * 2);
    const uint8_t* raw = (const uint8_t*)table[i];
    for (uint32_t k = 0; k < units; ++k) table[i][k] = (RxChar)(raw[2 * k] | (raw[2 * k + 1] << 8));
  }
  if (status != PAYLOAD_OK) {
    ReleaseTable(&table);
    return status;
  }
  ReleaseTable(&data->messages);
  data->messages = table;
  return PAYLOAD_OK;
}

const RxChar* LookupMessage(const UninstallData* data, int slot, int index) {
  if (slot != 0 || !data->messages || index < 0) return kEmptyText;
  for (int i = 0; data->messages[i]; ++i)
    if (i == index) return data->messages[i];
  return kEmptyText;
}

// The message is the installer's text and never a format: the argument (a
// path) takes the place of the first "%s", a "%%" pair becomes one percent
// sign only in a message that has a "%s" (as the installer writes them, for
// a printf-style formatter), and everything else is copied as it stands.
void FormatMessageInto(RxChar* out, uint32_t capacity, const RxChar* message,
                       const RxChar* argument) {
  if (capacity == 0) return;
  if (!message) message = kEmptyText;
  if (!argument) argument = kEmptyText;
  bool hasArgument = false;
  for (const RxChar* p = message; *p; ++p)
    if (p[0] == '%' && p[1] == 's') {
      hasArgument = true;
      break;
    }

  uint32_t written = 0;
  uint32_t limit = capacity - 1;
  bool substituted = false;
  for (const RxChar* p = message; *p && written < limit;) {
    if (hasArgument && p[0] == '%' && p[1] == '%') {
      out[written++] = '%';
      p += 2;
    } else if (hasArgument && !substituted && p[0] == '%' && p[1] == 's') {
      for (const RxChar* a = argument; *a && written < limit; ++a) out[written++] = *a;
      substituted = true;
      p += 2;
    } else {
      out[written++] = *p++;
    }
  }
  out[written] = 0;
}
