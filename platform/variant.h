// The platform's value: one tagged slot that carries every argument and every result of a call.
// Our own declaration of it, written from what the driver reads and writes.
#pragma once

#include <cstdint>

// The platform's characters are 16-bit UTF-16 units on every system.
using WCHAR_T = char16_t;

using TYPEVAR = uint16_t;

enum VariantTag : TYPEVAR {
  VTYPE_EMPTY = 0,
  VTYPE_NULL = 1,
  VTYPE_I2 = 2,
  VTYPE_I4 = 3,
  VTYPE_R4 = 4,
  VTYPE_R8 = 5,
  VTYPE_DATE = 6,
  VTYPE_TM = 7,
  VTYPE_PSTR = 8,
  VTYPE_INTERFACE = 9,
  VTYPE_ERROR = 10,
  VTYPE_BOOL = 11,
  VTYPE_VARIANT = 12,
  VTYPE_I1 = 13,
  VTYPE_UI1 = 14,
  VTYPE_UI2 = 15,
  VTYPE_UI4 = 16,
  VTYPE_I8 = 17,
  VTYPE_UI8 = 18,
  VTYPE_INT = 19,
  VTYPE_UINT = 20,
  VTYPE_HRESULT = 21,
  VTYPE_PWSTR = 22,
  VTYPE_BLOB = 23,
  VTYPE_CLSID = 24,
};

struct WideTextValue {
  WCHAR_T* pwstrVal;
  uint32_t wstrLen;  // in characters, without the terminating zero
};

// The value area: one of the members, chosen by the tag. Its first byte is what the platform
// calls the Boolean of any value.
union VariantValue {
  int8_t i8Val;
  int16_t shortVal;
  int32_t lVal;
  int32_t intVal;
  uint32_t uintVal;
  int32_t errCode;
  int32_t hRes;
  uint8_t ui8Val;
  uint16_t ushortVal;
  uint32_t ulVal;
  int64_t llVal;
  float fltVal;
  double dblVal;
  bool bVal;
  WideTextValue wstr;
};

struct tVariant {
  VariantValue value;
  TYPEVAR vt;
};
