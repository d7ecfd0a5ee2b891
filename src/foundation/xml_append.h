#pragma once
// Appending one XML element to a fixed text buffer (status-ping documents).

#include <cstddef>

// Appends "<name>value</name>" (no escaping) to the NUL-terminated text in
// buffer, which holds capacity bytes. Returns true when appended; when the
// element and the terminating NUL do not fit (or an argument is null, or the
// buffer holds no NUL within capacity) the buffer is left unchanged, the
// element is logged at ERROR as left out, and false is returned.
bool AppendXmlElement(char* buffer, size_t capacity, const char* name, const char* value);
