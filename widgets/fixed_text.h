// Copies a C string into a fixed-size name field, cut to fit and always
// terminated; a null text makes the field empty.
#pragma once

#include <cstddef>
#include <cstring>

template <size_t N>
void CopyFixedText(char (&to)[N], const char* text) {
  static_assert(N > 0);
  const size_t length = text ? strnlen(text, N - 1) : 0;
  if (length > 0) std::memcpy(to, text, length);
  to[length] = '\0';
}
