// Resource tables of the posix layer, for the program's start-up code and for tests.
#pragma once

#include "winapi_posix.h"

#include <cstddef>
#include <cstdint>

namespace posix {

// The program's own resources, compiled from resources/scrwarpvue.rc and embedded in the binary.
HINSTANCE module_instance();
// A resource table from .res bytes (copied); null when the bytes are not a well-formed table.
HINSTANCE load_module(const uint8_t *data, size_t size);
void free_module(HINSTANCE module);
bool find_resource(HINSTANCE module, LPCSTR type, LPCSTR name, const uint8_t **data, uint32_t *size);
// A bitmap from a DIB (info header, colour table, bits); null for anything malformed.
HBITMAP decode_dib(const uint8_t *data, size_t size);
// The same bitmap, checked now, its pixels made and decoded by decode_later_dib: data must outlive it.
HBITMAP load_dib_later(const uint8_t *data, size_t size);
void decode_later_dib(HBITMAP b); // decodes a bitmap of load_dib_later, once

} // namespace posix
