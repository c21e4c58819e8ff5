// Typed readers for the string attributes of configuration nodes and
// parameter sets. Each takes the attribute's string id, the provider and an
// optional flag, writes the result through its first argument and returns the
// outcome. A missing attribute gives 0x7145 whether optional or not; the flag
// only suppresses the trace. A malformed number gives 0x7149.
//
// Numbers: "0x1F" hexadecimal, "0b101" binary, otherwise decimal ("%i"; a
// leading minus wraps, "-1" is 0xFFFFFFFF). A leading 0 followed by anything
// but x, X, b, B, ',' or a blank ("012") is malformed.
#ifndef KAV_TREE_ATTRIBUTEREADER_H
#define KAV_TREE_ATTRIBUTEREADER_H

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/config/StringAttributeProvider.h"
#include "kav/tree/objects/kavstl.h"

BaseErrorData getAttributeString(kavstl::string& value, unsigned int attributeId,
                                 const StringAttributeProvider& provider, bool optional);
// The string id of the value; a missing attribute gives the id of "" with 0x7145.
BaseErrorData getAttributeStringId(unsigned int* value, unsigned int attributeId,
                                   const StringAttributeProvider& provider, bool optional);
// True exactly when the value's string id is 257 ("true").
BaseErrorData getAttributeBool(bool* value, unsigned int attributeId, const StringAttributeProvider& provider,
                               bool optional);
BaseErrorData getAttributeUint32(unsigned int* value, unsigned int attributeId,
                                 const StringAttributeProvider& provider, bool optional);
// The 16- and 8-bit forms keep the low bits of the 32-bit number.
BaseErrorData getAttributeUint16(unsigned short* value, unsigned int attributeId,
                                 const StringAttributeProvider& provider, bool optional);
BaseErrorData getAttributeUint8(unsigned char* value, unsigned int attributeId,
                                const StringAttributeProvider& provider, bool optional);
// Lists of numbers separated by blanks and commas; the first malformed number
// stops the list with 0x7149, keeping the numbers before it.
BaseErrorData getAttributeSet32(kavstl::set<unsigned int>& value, unsigned int attributeId,
                                const StringAttributeProvider& provider, bool optional);
BaseErrorData getAttributeVector32(kavstl::vector<unsigned int>& value, unsigned int attributeId,
                                   const StringAttributeProvider& provider, bool optional);
BaseErrorData getAttributeVector8(kavstl::vector<unsigned char>& value, unsigned int attributeId,
                                  const StringAttributeProvider& provider, bool optional);
// The value split into non-empty tokens at any of the separator characters.
BaseErrorData getStringVector(kavstl::vector<kavstl::string>& value, unsigned int attributeId,
                              const kavstl::string& separators, const StringAttributeProvider& provider,
                              bool optional);
// The value as hexadecimal bytes (readHexData).
BaseErrorData getAttributeHexData(unsigned char* buffer, unsigned int* length, unsigned int maxLength,
                                  unsigned int attributeId, const StringAttributeProvider& provider, bool optional);

// Parses one number; attributeId names the attribute in the error text.
BaseErrorData getVal(const kavstl::string& text, unsigned int& value, unsigned int& attributeId);
// Two hexadecimal characters into one byte; 0x7149 when they are not.
BaseErrorData readHexByte(unsigned char* byte, const char* twoChars);
// Text of hexadecimal pairs (optionally after a "0x" prefix) into at most
// maxLength bytes: 0x7149 for an odd length or a bad pair, 0x714A when too long.
BaseErrorData readHexData(unsigned char* buffer, unsigned int* length, unsigned int maxLength, kavstl::string text);

#endif
