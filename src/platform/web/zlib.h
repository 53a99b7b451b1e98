// zlib.h: the web build's zlib: only the CRC-32 the demo files need (web.cpp has it).
#ifndef KORVADO_WEB_ZLIB_H
#define KORVADO_WEB_ZLIB_H

typedef unsigned char Bytef;
typedef unsigned int uInt;
typedef unsigned long uLong;
#define Z_NULL 0

extern "C" uLong crc32(uLong crc, const Bytef* buf, uInt len);

#endif
