// Our own look at a music module before the module library reads it: the
// library trusts every count and offset in the file, so the structure is
// checked here first, in-process and in bounded time, and a module whose
// parts do not lie within the file is refused before it costs a probe.
#pragma once

#include <cstddef>
#include <cstdint>

enum ModuleKind { MODULE_NONE, MODULE_IT, MODULE_XM, MODULE_S3M, MODULE_MOD };

// The kind of a module whose headers, tables, patterns and sample headers
// lie within its `size` bytes (sample data may be cut short, which the
// readers pad), or MODULE_NONE with `why` telling what is wrong.
ModuleKind module_check(const uint8_t* data, size_t size, const char** why = nullptr);
