// The registry: keys, values and their enumeration. Registry calls return their error number
// instead of setting the last error, as on Windows.
#pragma once

#include "platform/Export.h"
#include "platform/linux/Win32Base.h"
#include "platform/linux/Win32Sync.h"

#include <cstdint>
#include <string>

// Key handles, access masks and value data.
using HKEY = struct HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;

// The last write time RegQueryInfoKeyA reports, always 0 here.
struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using FILETIME = _FILETIME;
using PFILETIME = _FILETIME*;

// The predefined keys are sign-extended 32-bit values, as Windows defines them.
inline const HKEY HKEY_CLASSES_ROOT =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000000u)));
inline const HKEY HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000001u)));
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000002u)));
inline const HKEY HKEY_USERS =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000003u)));

// Access rights; the serial-port map opens for reading only.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// What RegCreateKeyExA did.
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Error numbers of the registry calls; ERROR_BADDB and ERROR_WRITE_FAULT are the user's
// registry file not parsing or not being written.
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_BADDB = 1009;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;

// Reading keys. HKEY_LOCAL_MACHINE holds only HARDWARE\DEVICEMAP\SERIALCOMM, the machine's
// serial ports, read-only; HKEY_CURRENT_USER is the user's registry file; the other predefined
// keys are empty. Keys have no class, and no subkeys that these calls list.
TILLMARK_PLATFORM_API LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions,
                                         REGSAM samDesired, PHKEY phkResult);
TILLMARK_PLATFORM_API LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass,
                                            LPDWORD lpReserved, LPDWORD lpcSubKeys,
                                            LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                            LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                                            LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                                            PFILETIME lpftLastWriteTime);
TILLMARK_PLATFORM_API LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName,
                                         LPDWORD lpcchValueName, LPDWORD lpReserved, LPDWORD lpType,
                                         LPBYTE lpData, LPDWORD lpcbData);
TILLMARK_PLATFORM_API LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                            LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
TILLMARK_PLATFORM_API LONG RegCloseKey(HKEY hKey);
// Writing keys: only under HKEY_CURRENT_USER, each change rewriting the user's registry file.
TILLMARK_PLATFORM_API LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved,
                                           LPSTR lpClass, DWORD dwOptions, REGSAM samDesired,
                                           const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                           PHKEY phkResult, LPDWORD lpdwDisposition);
TILLMARK_PLATFORM_API LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved,
                                          DWORD dwType, const BYTE* lpData, DWORD cbData);
TILLMARK_PLATFORM_API LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);

// Not in Win32: keys under HKEY_CURRENT_USER live in one file here; after a call failed with
// ERROR_BADDB or ERROR_WRITE_FAULT this says which file and what is wrong, line included.
TILLMARK_PLATFORM_API std::string RegUserStoreProblem();
