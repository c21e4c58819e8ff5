// The library's container types, used in its interfaces. Each wraps the
// standard container of the same name, adds a constructor from it and
// otherwise offers its operations unchanged.
#ifndef KAV_TREE_KAVSTL_H
#define KAV_TREE_KAVSTL_H

#include <list>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kavstl {

class string : public std::string {
 public:
  using std::string::string;
  string() = default;
  string(const std::string& s) : std::string(s) {}
  string(std::string&& s) : std::string(std::move(s)) {}
};

template <class T>
class vector : public std::vector<T> {
 public:
  using std::vector<T>::vector;
  vector() = default;
  vector(const std::vector<T>& v) : std::vector<T>(v) {}
  vector(std::vector<T>&& v) : std::vector<T>(std::move(v)) {}
};

template <class T>
class list : public std::list<T> {
 public:
  using std::list<T>::list;
  list() = default;
  list(const std::list<T>& v) : std::list<T>(v) {}
  list(std::list<T>&& v) : std::list<T>(std::move(v)) {}
};

template <class K, class V, class C = std::less<K>>
class map : public std::map<K, V, C> {
 public:
  using std::map<K, V, C>::map;
  map() = default;
  map(const std::map<K, V, C>& v) : std::map<K, V, C>(v) {}
  map(std::map<K, V, C>&& v) : std::map<K, V, C>(std::move(v)) {}
};

template <class T, class C = std::less<T>>
class set : public std::set<T, C> {
 public:
  using std::set<T, C>::set;
  set() = default;
  set(const std::set<T, C>& v) : std::set<T, C>(v) {}
  set(std::set<T, C>&& v) : std::set<T, C>(std::move(v)) {}
};

}  // namespace kavstl

namespace std {
template <>
struct hash<kavstl::string> : hash<std::string> {};
}  // namespace std

#endif
