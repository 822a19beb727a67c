// The Win32 private-profile functions, for code that reads like the calls
// it stands in for. They follow the Windows rules (see ini_document.h and
// profile_file.h); a bare file name resolves into $RIPMARROW_HOME, and a NULL
// file name means "win.ini" there.
#pragma once

#include "platform/profile/profile_file.h"
#include "platform/wintypes/wintypes.h"

// Copies the value of key in section (or, when there is none, the default
// without its trailing blanks; NULL default is "") into buffer, cut to
// size - 1 characters and terminated; returns the characters copied.
// A NULL section lists the file's section names, a NULL key the keys of the
// section: each name terminated, then one more terminator; when they do not
// fit, the list is cut, ends in two terminators, and size - 2 is returned.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName);

// The value read as a leading sign and decimal digits; the default when the
// key is missing or its value does not start as a number.
UINT GetPrivateProfileIntA(const char* section, const char* key, INT defaultValue, const char* fileName);

// Writes key = value in section (section and key created when missing); a
// NULL value deletes the key, a NULL key deletes the whole section. FALSE when
// the file cannot be written or the names cannot be stored.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName);
