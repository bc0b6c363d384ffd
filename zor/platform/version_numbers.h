/* The library's file version: the single source of the numbers for the
 * version record of the library file (the ELF record on Linux, the version
 * resource on Windows). Plain macros, since the resource compiler reads this
 * file too. */
#ifndef ZOR_PLATFORM_VERSION_NUMBERS_H
#define ZOR_PLATFORM_VERSION_NUMBERS_H

#define ZOR_FILE_VERSION_MAJOR 2
#define ZOR_FILE_VERSION_MINOR 1
#define ZOR_FILE_VERSION_RELEASE 7
#define ZOR_FILE_VERSION_BUILD 7
/* As _GetVerStr writes it: the build with at least three digits. */
#define ZOR_FILE_VERSION_TEXT "2.1.7.007"

#endif /* ZOR_PLATFORM_VERSION_NUMBERS_H */
