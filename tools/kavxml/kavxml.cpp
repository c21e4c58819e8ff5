// kavxml: the configuration compiler.
//
//   kavxml compile IN.xml -o OUT.bin   XML text to the binary form
//   kavxml check IN.bin...             version, checksum and structure, one line per file
//   kavxml dump IN.bin                 the binary form back to XML on stdout
//   kavxml stringids TABLE.xml         the string-id table source against the code's fixed ids
//
// Every failure is one line on stderr naming the file and the position;
// the exit status is 0 on success, 1 on a failure and 2 on a usage error.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BinaryReaderParser.h"
#include "tools/kavxml/BinaryChecker.h"
#include "tools/kavxml/StringIdTableCheck.h"
#include "tools/kavxml/XmlCompiler.h"
#include "tools/kavxml/XmlDumper.h"

namespace {

int usage() {
  std::cerr << "usage: kavxml compile IN.xml -o OUT.bin\n"
               "       kavxml check IN.bin...\n"
               "       kavxml dump IN.bin\n"
               "       kavxml stringids TABLE.xml\n";
  return 2;
}

void fail(const std::string& file, const std::string& message) {
  std::cerr << "kavxml: " << file << ": " << message << "\n";
}

bool readFile(const std::string& path, std::vector<unsigned char>& data) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    fail(path, std::string("cannot open: ") + std::strerror(errno));
    return false;
  }
  data.clear();
  unsigned char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  bool bad = std::ferror(f) != 0;
  int err = errno;
  std::fclose(f);
  if (bad) {
    fail(path, std::string("cannot read: ") + std::strerror(err));
    return false;
  }
  return true;
}

// Writes through a temporary file so that a failed run leaves no partial output.
bool writeFile(const std::string& path, const std::vector<unsigned char>& data) {
  std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) {
    fail(path, std::string("cannot create: ") + std::strerror(errno));
    return false;
  }
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  int err = errno;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    if (ok) err = errno;
    std::remove(tmp.c_str());
    fail(path, std::string("cannot write: ") + std::strerror(err));
    return false;
  }
  return true;
}

int compileCommand(int argc, char** argv) {
  std::string in;
  std::string out;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-o" && i + 1 < argc) {
      out = argv[++i];
    } else if (in.empty() && !a.empty() && a[0] != '-') {
      in = a;
    } else {
      return usage();
    }
  }
  if (in.empty() || out.empty()) return usage();
  std::vector<unsigned char> text;
  if (!readFile(in, text)) return 1;
  std::vector<unsigned char> binary;
  std::string error;
  kavxml::XmlCompiler compiler;
  if (!compiler.compileText(reinterpret_cast<const char*>(text.data()), text.size(), binary, error)) {
    fail(in, error);
    return 1;
  }
  return writeFile(out, binary) ? 0 : 1;
}

int checkCommand(int argc, char** argv) {
  if (argc < 3) return usage();
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    std::vector<unsigned char> data;
    if (!readFile(argv[i], data)) {
      status = 1;
      continue;
    }
    kavxml::BinaryChecker checker;
    std::string error;
    if (!checker.check(data, error)) {
      fail(argv[i], error);
      status = 1;
      continue;
    }
    // The library's own reader must read the whole file as well.
    bool complete = false;
    BinaryReaderNode* root = BinaryReaderParser::parseBuffer(data.data(), data.size(), &complete);
    delete root;
    if (root == nullptr || !complete) {
      fail(argv[i], "offset 40: the library's reader does not read the whole file");
      status = 1;
      continue;
    }
    const kavxml::DocumentStats& s = checker.stats();
    std::cout << argv[i] << ": ok, version 1.4, " << s.elements << " elements, " << s.attributes
              << " attributes, " << s.texts << " texts, " << s.records << " records, " << data.size()
              << " bytes\n";
  }
  return status;
}

int dumpCommand(int argc, char** argv) {
  if (argc != 3) return usage();
  std::string in = argv[2];
  std::vector<unsigned char> data;
  if (!readFile(in, data)) return 1;
  kavxml::BinaryChecker checker;
  std::string error;
  if (!checker.check(data, error)) {
    fail(in, error);
    return 1;
  }
  kavxml::XmlDumper dumper;
  std::ostringstream xml;
  if (!dumper.dump(in, xml, error)) {
    fail(in, error);
    return 1;
  }
  std::cout << xml.str();
  std::cout.flush();
  return std::cout ? 0 : 1;
}

int stringIdsCommand(int argc, char** argv) {
  if (argc != 3) return usage();
  std::vector<unsigned char> text;
  if (!readFile(argv[2], text)) return 1;
  kavxml::StringIdTableCheck check;
  std::string error;
  if (!check.check(reinterpret_cast<const char*>(text.data()), text.size(), error)) {
    fail(argv[2], error);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string command = argv[1];
  if (command == "compile") return compileCommand(argc, argv);
  if (command == "check") return checkCommand(argc, argv);
  if (command == "dump") return dumpCommand(argc, argv);
  if (command == "stringids") return stringIdsCommand(argc, argv);
  return usage();
}
