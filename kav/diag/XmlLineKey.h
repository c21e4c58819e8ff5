// Base of the keys of lookup-table rows. A key type K derives from
// XmlLineKey<K> and defines operator<; equality follows from it.
#ifndef KAV_DIAG_XMLLINEKEY_H
#define KAV_DIAG_XMLLINEKEY_H

template <class K>
class XmlLineKey {
 public:
  bool operator==(const K& other) const { return !(self() < other) && !(other < self()); }
  bool operator!=(const K& other) const { return !(*this == other); }

 protected:
  ~XmlLineKey() = default;

 private:
  const K& self() const { return static_cast<const K&>(*this); }
};

#endif
