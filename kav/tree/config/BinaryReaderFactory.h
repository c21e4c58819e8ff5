// Keeps the node tree of every configuration file read, keyed by path, until
// clearBinaryReaderCache(). A file that was missing or invalid is kept as null
// and not read again until the cache is cleared. The factory owns the trees.
#ifndef KAV_TREE_BINARYREADERFACTORY_H
#define KAV_TREE_BINARYREADERFACTORY_H

#include <mutex>

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class BinaryReaderNode;

class KAV_EXPORT BinaryReaderFactory {
 public:
  static BinaryReaderFactory* getInstance();
  static void destroyInstance();

  // The cached root of the file, reading it on the first request (null when
  // the file is missing or invalid).
  const BinaryReaderNode* getBinaryReaderNode(const kavstl::string& path);
  // Deletes every cached tree and empties the cache.
  void clearBinaryReaderCache();
  // Number of paths in the cache (null results included).
  unsigned int getCacheSize();

 private:
  BinaryReaderFactory();
  ~BinaryReaderFactory();
  BinaryReaderFactory(const BinaryReaderFactory&) = delete;
  BinaryReaderFactory& operator=(const BinaryReaderFactory&) = delete;

  std::recursive_mutex m_mutex;
  kavstl::map<kavstl::string, BinaryReaderNode*> m_trees;
};

KAV_EXPORT const BinaryReaderNode* getBinaryReaderNode(const kavstl::string& path);
KAV_EXPORT void clearBinaryReaderCache();

#endif
