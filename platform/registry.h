// The settings store, shaped like the Windows registry: two roots, keys addressed by
// backslash-separated paths, typed values, and the open / create / query / set / close calls.
// Every call answers a system error code (winerror.h) and never throws.
//
// Where the store lives (POSIX)
//   HKEY_CURRENT_USER  -> $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute
//   HKEY_LOCAL_MACHINE -> the first absolute entry of $XDG_CONFIG_DIRS, or /etc/xdg
//   The variables are read on every open and create, never cached.
//   The key Software\Marrowby\Tidelog under root folder R is:
//     R/Software/Marrowby/Tidelog.reg   the key's values: one text file
//     R/Software/Marrowby/Tidelog/      the folder of its subkeys, made only when it has any
//   A key exists when its ".reg" file or its folder exists. Keys made only as parents of another
//   key (Software, Marrowby) are folders without a file. Key and value names compare without
//   regard to letter case, as in the registry; a new key is spelt as it was created.
//   In file names, '%', '/', control characters, a leading '.' and the '.' of a trailing ".reg"
//   are written as %XX (the UTF-8 bytes), so names map one to one onto files and never meet the
//   store's own hidden temporary files (".Tidelog.reg.tmp-...").
//
// The key file
//   The registry-export text format, written as UTF-8 (a UTF-16LE file with a byte-order mark
//   is read too, and rewritten as UTF-8 by the next save):
//     Windows Registry Editor Version 5.00
//
//     [HKEY_CURRENT_USER\Software\Marrowby\Tidelog]
//     "Interval"=dword:00000005
//     "Start"=hex:00,00,00,00,00,e2,dc,3f
//     "Caption"="text with \\ and \" escaped"
//     @="the key's unnamed value"
//     "Other"=hex(b):01,00,00,00,00,00,00,00
//   REG_SZ is written as a quoted string when that gives back exactly the same bytes (UTF-16LE
//   ending in one NUL, no control character but tab), otherwise as hex(1):. REG_DWORD of 4 bytes
//   is dword:; every other type and length is hex: (REG_BINARY) or hex(type):, long lists
//   continued over lines ending in '\'. Values are read from the first [section] of the file
//   only, whatever path it names; a value given twice reads as the later one.
//   Lines that are not understood (comments, garbage, cut-off values, other sections) give no
//   value and are kept byte for byte by every save; a save replaces only the lines of the value
//   it sets. A hex list on the file's last line without a line end counts as cut off. A file
//   that is not a regular file or is larger than 32 MiB gives no values and is never replaced.
//
// Saving
//   RegSetValueExW (and RegCreateKeyExW making a key file) reads the file, changes it and writes
//   it back while holding an exclusive flock on the folder that holds the file, so concurrent
//   saves from several processes never lose each other's values. The new text goes to a
//   temporary file in the same folder, is fsync'ed and renamed over the old file, and the folder
//   is fsync'ed: a crash leaves the old file or the new one, never a mix. A key file that is a
//   symbolic link is rewritten at its target. Queries take no lock.
//
// Access rights
//   Besides the system's own permission checks, the store applies one of its own that root
//   cannot bypass: the owner permission bits. Opening with any right to change the key
//   (KEY_SET_VALUE, KEY_CREATE_SUB_KEY, ..., so KEY_ALL_ACCESS too) is ERROR_ACCESS_DENIED when
//   the key's file, its subkey folder or the folder holding its file lacks the owner-write bit;
//   opening with read rights needs the owner-read bit (and owner-execute on folders). Creating a
//   missing key needs owner-write on the folder it is made in. A handle keeps the rights it was
//   opened with: querying needs KEY_QUERY_VALUE, setting needs KEY_SET_VALUE.
//
// Handles
//   HKEY is an integer. The roots are predefined handles and need no closing; every handle an
//   open or create returns must be given back with RegCloseKey. Handles may be used from any
//   thread.
#pragma once

#include "winbase.h"
#include "winerror.h"

#include <QString>

#include <cstdint>

using HKEY = std::uintptr_t;
using REGSAM = DWORD;

constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM DELETE = 0x00010000;
constexpr REGSAM READ_CONTROL = 0x00020000;
constexpr REGSAM WRITE_DAC = 0x00040000;
constexpr REGSAM WRITE_OWNER = 0x00080000;
constexpr REGSAM STANDARD_RIGHTS_READ = READ_CONTROL;
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// Options and dispositions of RegCreateKeyExW.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens an existing key subKey below hKey (a root or an open key) with the given rights.
// subKey is backslash-separated; it must not start with '\', a trailing '\' is ignored and an
// empty subKey opens hKey itself anew. ulOptions is ignored, and so are the KEY_WOW64 flags.
// Answers ERROR_FILE_NOT_FOUND for a missing key, ERROR_ACCESS_DENIED when the rights are not
// granted, ERROR_INVALID_HANDLE for an unknown hKey, ERROR_BAD_PATHNAME for an empty name
// between backslashes. *phkResult is 0 unless the call succeeds.
LSTATUS RegOpenKeyExW(HKEY hKey, const QString& subKey, DWORD ulOptions, REGSAM samDesired,
                      HKEY* phkResult);

// Opens subKey below hKey, first creating it and every missing key above it. lpClass,
// dwOptions and lpSecurityAttributes are accepted and ignored (keys are always non-volatile).
// *lpdwDisposition (may be null) tells REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. Fails as
// RegOpenKeyExW does, or with the mapped system error when a folder or file cannot be made.
LSTATUS RegCreateKeyExW(HKEY hKey, const QString& subKey, DWORD Reserved, const QString& lpClass,
                        DWORD dwOptions, REGSAM samDesired, const void* lpSecurityAttributes,
                        HKEY* phkResult, DWORD* lpdwDisposition);

// Reads the value lpValueName ("" is the key's unnamed value) of an open key. *lpType (may be
// null) receives its type. With lpData null, *lpcbData (may be null) receives the data size.
// With lpData, *lpcbData gives the buffer size and receives the data size; a buffer too small
// answers ERROR_MORE_DATA and copies nothing. ERROR_FILE_NOT_FOUND when there is no such value
// (including when the key file cannot be understood at that place).
LSTATUS RegQueryValueExW(HKEY hKey, const QString& lpValueName, DWORD* lpReserved, DWORD* lpType,
                         BYTE* lpData, DWORD* lpcbData);

// Writes the value lpValueName with any type and cbData bytes of data, replacing a value of
// that name of any type. Durable when it answers ERROR_SUCCESS. A value name holding control
// characters or unpaired surrogates is ERROR_INVALID_PARAMETER; a key file the store cannot
// rewrite without losing what it holds is ERROR_BADDB, and it is left as it is.
LSTATUS RegSetValueExW(HKEY hKey, const QString& lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData);

// Gives back a handle from RegOpenKeyExW or RegCreateKeyExW. Closing a root does nothing.
LSTATUS RegCloseKey(HKEY hKey);
