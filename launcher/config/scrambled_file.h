#pragma once
// Scrambled configuration files ("Do.ini", "web.ini", the server list): the plain byte p at
// offset n is stored as (p + key[n mod 8]) mod 256, with no header and no check value.

// Decodes source into destination, both named relative to the program directory. The copy is
// written the way the readers expect it: every decoded line feed becomes CR LF. The source
// must be a regular file that may be opened for writing too (a read-only file is not decoded).
// False when either file cannot be opened, a name cannot be converted, or reading or writing
// fails; a partial copy is then removed. Logs nothing and shows nothing. Any thread.
bool DecodeScrambledFile(const wchar_t* source, const wchar_t* key, const wchar_t* destination);
