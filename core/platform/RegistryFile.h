#pragma once

#include "core/platform/Platform.h"

#include <QString>

#include <cstddef>
#include <string>

// Reader of the registry stand-in: a text file in the format of an exported registry file
//
//     Windows Registry Editor Version 5.00
//     [HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32]
//     @="C:\\P\\Bin\\CADx64\\MxDrawX.ocx"
//
// Key paths compare case-insensitively, as the registry does. Only string values ("...") are
// readable; "\\" and "\"" are the escapes of a quoted value. A missing or unreadable file, or a
// missing key, is REGISTRY_OPEN_FAILED; a key without a default string value, a damaged value, or
// one that does not fit bufferBytes with its terminator is REGISTRY_READ_FAILED.
IVtPlatform::E_REGISTRY_RESULT ReadRegistryFileDefault(const QString& file, const std::string& fullKey,
                                                      std::size_t bufferBytes, std::string& value);
