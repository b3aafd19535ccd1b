#pragma once

// Symbols of the library are hidden unless marked; only the public API carries VTCORE_EXPORT.
#if defined(_WIN32)
#  if defined(VTCORE_BUILDING)
#    define VTCORE_EXPORT __declspec(dllexport)
#  else
#    define VTCORE_EXPORT __declspec(dllimport)
#  endif
#else
#  define VTCORE_EXPORT __attribute__((visibility("default")))
#endif
