#pragma once

// Symbols of the library are hidden unless marked; only the public API carries VTCORE_EXPORT.
// VTCORE_PLUGIN_EXPORT marks the entry points a plug-in library exports (core/kernel/Plugin.h).
#if defined(_WIN32)
#  if defined(VTCORE_BUILDING)
#    define VTCORE_EXPORT __declspec(dllexport)
#  else
#    define VTCORE_EXPORT __declspec(dllimport)
#  endif
#  define VTCORE_PLUGIN_EXPORT __declspec(dllexport)
#else
#  define VTCORE_EXPORT __attribute__((visibility("default")))
#  define VTCORE_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif
