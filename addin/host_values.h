// Every read and write of a platform value happens here, and every conversion between the
// platform's UTF-16 texts and the worker's UTF-8 bytes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/host_connection.h"
#include "platform/memory_manager.h"
#include "platform/variant.h"

// Reading platform values. A value of a type the reader does not take gives 0, 0.0 or "".
int32_t variantToInt(const tVariant& value);
double variantToDouble(const tVariant& value);
std::u16string variantToWide(const tVariant& value);
// Each 16-bit unit taken as one code point, surrogate halves included (three bytes each).
std::string variantToUtf8(const tVariant& value);
// The platform's Boolean of any value: the first byte of its value area.
bool variantToFlag(const tVariant& value);

// Writing platform values. Texts go into blocks of the platform's memory, which the platform
// frees; a failed allocation leaves a null text with the length all the same.
void returnWideText(IMemoryManager* memory, tVariant* value, const std::u16string& text);
// Each byte becomes one character, taken as a signed 8-bit value.
void returnNarrowText(IMemoryManager* memory, tVariant* value, const std::string& bytes);
// A register text: UTF-8, with every bad sequence shown as U+FFFD.
void returnUtf8Text(IMemoryManager* memory, tVariant* value, const std::string& utf8);
void returnBool(tVariant* value, bool flag);
// Writes a 32-bit integer. The platform passes integer out-arguments tagged as integers; one that
// arrives with another tag is made VTYPE_I4, so the number is never read as something else.
void returnInt(tVariant* value, int32_t number);
// Writes a 32-bit integer under the given integer tag.
void returnTaggedInt(tVariant* value, int32_t number, TYPEVAR tag);
// Copies `count` characters of `source` into `target` (with count 0: up to its terminating zero).
void copyWideText(WCHAR_T* target, const WCHAR_T* source, size_t count);

// Converting texts.
std::string wideToUtf8(const std::u16string& text);
// Strict decoding; false when the bytes are not UTF-8 ("not a UTF-8 string").
bool utf8ToWide(const std::string& bytes, std::u16string& text);
// Decoding that never fails: each bad sequence becomes U+FFFD.
std::u16string utf8ToWideLenient(const std::string& bytes);

// Posts a message to the platform (code 1005, status 0); nothing without a connection.
void reportToHost(IAddInDefBase* connection, const std::u16string& source,
                  const std::u16string& message);
