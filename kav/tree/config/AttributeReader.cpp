#include "kav/tree/config/AttributeReader.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

namespace {

const unsigned int kFormatError = 0x7149;
const unsigned int kHexTooLong = 0x714A;

BaseErrorData formatError(const kavstl::string& text, unsigned int attributeId) {
  BaseErrorData err(BaseErrorData::NO_OVERWRITE);
  std::ostringstream os;
  os << "getAttribute - Format error on attribute " << get_string_by_id(attributeId) << ".  String = " << text;
  err << os;
  err = kFormatError;
  err.setLogMode(2);
  KAV_TRACE_STR(KAVE, "format error on attribute id %u: %s", text, attributeId);
  return err;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isListSeparator(char c) { return c == ' ' || c == ',' || c == '\t' || c == '\n' || c == '\r'; }

// Splits at blanks and commas, dropping empty pieces.
kavstl::vector<kavstl::string> splitNumbers(const kavstl::string& text) {
  kavstl::vector<kavstl::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isListSeparator(text[i])) ++i;
    std::size_t start = i;
    while (i < text.size() && !isListSeparator(text[i])) ++i;
    if (i > start) out.push_back(text.substr(start, i - start));
  }
  return out;
}

template <class Add>
BaseErrorData readNumberList(unsigned int attributeId, const StringAttributeProvider& provider, bool optional,
                             Add add) {
  kavstl::string text;
  BaseErrorData err = getAttributeString(text, attributeId, provider, optional);
  if (err != 0) return err;
  for (const kavstl::string& token : splitNumbers(text)) {
    unsigned int v = 0;
    unsigned int id = attributeId;
    BaseErrorData e = getVal(token, v, id);
    if (e != 0) return e;
    add(v);
  }
  return err;
}

}  // namespace

BaseErrorData getAttributeString(kavstl::string& value, unsigned int attributeId,
                                 const StringAttributeProvider& provider, bool optional) {
  BaseErrorData err(BaseErrorData::NO_OVERWRITE);
  unsigned int rc = provider.getAttributeValue(get_string_by_id(attributeId), value, optional);
  if (rc != 0) {
    if (!optional) KAV_TRACE(KAVE, "getAttributeString: attribute id %u missing", attributeId);
    err = rc;
  }
  return err;
}

BaseErrorData getAttributeStringId(unsigned int* value, unsigned int attributeId,
                                   const StringAttributeProvider& provider, bool optional) {
  kavstl::string text;
  BaseErrorData err = getAttributeString(text, attributeId, provider, optional);
  if (err != 0) text.clear();
  if (value != nullptr) *value = get_id_by_string(text);
  return err;
}

BaseErrorData getAttributeBool(bool* value, unsigned int attributeId, const StringAttributeProvider& provider,
                               bool optional) {
  unsigned int id = 0;
  BaseErrorData err = getAttributeStringId(&id, attributeId, provider, optional);
  if (value != nullptr) *value = (id == kav::sid::TRUE_TEXT);
  return err;
}

BaseErrorData getAttributeUint32(unsigned int* value, unsigned int attributeId,
                                 const StringAttributeProvider& provider, bool optional) {
  kavstl::string text;
  BaseErrorData err = getAttributeString(text, attributeId, provider, optional);
  if (err != 0) return err;
  unsigned int v = 0;
  unsigned int id = attributeId;
  err = getVal(text, v, id);
  if (err == 0 && value != nullptr) *value = v;
  return err;
}

BaseErrorData getAttributeUint16(unsigned short* value, unsigned int attributeId,
                                 const StringAttributeProvider& provider, bool optional) {
  unsigned int v = 0;
  BaseErrorData err = getAttributeUint32(&v, attributeId, provider, optional);
  if (err == 0 && value != nullptr) *value = static_cast<unsigned short>(v);
  return err;
}

BaseErrorData getAttributeUint8(unsigned char* value, unsigned int attributeId,
                                const StringAttributeProvider& provider, bool optional) {
  unsigned int v = 0;
  BaseErrorData err = getAttributeUint32(&v, attributeId, provider, optional);
  if (err == 0 && value != nullptr) *value = static_cast<unsigned char>(v);
  return err;
}

BaseErrorData getAttributeSet32(kavstl::set<unsigned int>& value, unsigned int attributeId,
                                const StringAttributeProvider& provider, bool optional) {
  return readNumberList(attributeId, provider, optional, [&](unsigned int v) { value.insert(v); });
}

BaseErrorData getAttributeVector32(kavstl::vector<unsigned int>& value, unsigned int attributeId,
                                   const StringAttributeProvider& provider, bool optional) {
  return readNumberList(attributeId, provider, optional, [&](unsigned int v) { value.push_back(v); });
}

BaseErrorData getAttributeVector8(kavstl::vector<unsigned char>& value, unsigned int attributeId,
                                  const StringAttributeProvider& provider, bool optional) {
  return readNumberList(attributeId, provider, optional,
                        [&](unsigned int v) { value.push_back(static_cast<unsigned char>(v)); });
}

BaseErrorData getStringVector(kavstl::vector<kavstl::string>& value, unsigned int attributeId,
                              const kavstl::string& separators, const StringAttributeProvider& provider,
                              bool optional) {
  kavstl::string text;
  BaseErrorData err = getAttributeString(text, attributeId, provider, optional);
  if (err != 0) return err;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t start = text.find_first_not_of(separators, i);
    if (start == kavstl::string::npos) break;
    std::size_t end = text.find_first_of(separators, start);
    if (end == kavstl::string::npos) end = text.size();
    value.push_back(text.substr(start, end - start));
    i = end;
  }
  return err;
}

BaseErrorData getAttributeHexData(unsigned char* buffer, unsigned int* length, unsigned int maxLength,
                                  unsigned int attributeId, const StringAttributeProvider& provider, bool optional) {
  kavstl::string text;
  BaseErrorData err = getAttributeString(text, attributeId, provider, optional);
  if (err != 0) return err;
  return readHexData(buffer, length, maxLength, text);
}

BaseErrorData getVal(const kavstl::string& text, unsigned int& value, unsigned int& attributeId) {
  BaseErrorData err(BaseErrorData::NO_OVERWRITE);
  const char* s = text.c_str();
  if (text.size() > 1 && text[0] == '0') {
    const char second = text[1];
    if (second == 'x' || second == 'X') {
      // Hexadecimal after the prefix; at least one digit.
      if (hexDigit(text.size() > 2 ? text[2] : '\0') < 0) return formatError(text, attributeId);
      errno = 0;
      unsigned long long v = std::strtoull(s + 2, nullptr, 16);
      value = static_cast<unsigned int>(v);
      return err;
    }
    if (second == 'b' || second == 'B') {
      unsigned int v = 0;
      for (std::size_t i = 2; i < text.size() && (text[i] == '0' || text[i] == '1'); ++i)
        v = (v << 1) | static_cast<unsigned int>(text[i] - '0');
      value = v;
      return err;
    }
    if (second == ',' || second == ' ') {
      value = 0;
      return err;
    }
    return formatError(text, attributeId);
  }
  // Decimal, possibly signed; a negative number wraps.
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(s, &end, 10);
  if (end == s) return formatError(text, attributeId);
  value = static_cast<unsigned int>(v);
  return err;
}

BaseErrorData readHexByte(unsigned char* byte, const char* twoChars) {
  BaseErrorData err(BaseErrorData::NO_OVERWRITE);
  const int hi = hexDigit(twoChars[0]);
  const int lo = hi < 0 ? -1 : hexDigit(twoChars[1]);
  if (hi < 0 || lo < 0) {
    KAV_TRACE(KAVE, "readHexByte: not hexadecimal: 0x%02X 0x%02X", static_cast<unsigned char>(twoChars[0]),
              static_cast<unsigned char>(hi < 0 ? 0 : twoChars[1]));
    err << "readHexByte: characters are not hexadecimal";
    err = kFormatError;
    err.setLogMode(2);
    return err;
  }
  if (byte != nullptr) *byte = static_cast<unsigned char>((hi << 4) | lo);
  return err;
}

BaseErrorData readHexData(unsigned char* buffer, unsigned int* length, unsigned int maxLength, kavstl::string text) {
  BaseErrorData err(BaseErrorData::NO_OVERWRITE);
  if (length != nullptr) *length = 0;
  if (text.size() % 2 != 0) {
    KAV_TRACE_STR(KAVE, "readHexData: odd length %u: %s", text, static_cast<unsigned int>(text.size()));
    err << "readHexData: hexadecimal data of odd length";
    err = kFormatError;
    err.setLogMode(2);
    return err;
  }
  std::size_t pos = 0;
  if (text.size() >= 2 && (text[1] == 'x' || text[1] == 'X')) pos = 2;
  const std::size_t bytes = (text.size() - pos) / 2;
  if (bytes > maxLength) {
    KAV_TRACE(KAVE, "readHexData: %u bytes, maximum %u", static_cast<unsigned int>(bytes), maxLength);
    err << "readHexData: hexadecimal data longer than its buffer";
    err = kHexTooLong;
    err.setLogMode(2);
    return err;
  }
  unsigned int n = 0;
  for (; pos + 1 < text.size(); pos += 2) {
    unsigned char b = 0;
    BaseErrorData e = readHexByte(&b, text.c_str() + pos);
    if (e != 0) {
      if (length != nullptr) *length = n;
      return e;
    }
    buffer[n++] = b;
  }
  if (length != nullptr) *length = n;
  return err;
}
