// The names of a directory listing, back to back in one buffer.
//
// A scan makes a name for every file of the drive on the reader threads and lets go
// of it on the walk's thread. As strings of their own, every name longer than a
// string holds in itself was an allocation there and a free here, across threads;
// one buffer and one table of ends make it two allocations a listing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class NameList {
 public:
  // The names one after the other, as views into the list.
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    const_iterator() = default;
    const_iterator(const NameList* list, size_t index) : m_list(list), m_index(index) {}
    std::string_view operator*() const { return (*m_list)[m_index]; }
    const_iterator& operator++() {
      ++m_index;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator was = *this;
      ++m_index;
      return was;
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      return a.m_index == b.m_index;
    }

   private:
    const NameList* m_list = nullptr;
    size_t m_index = 0;
  };

  NameList() = default;
  NameList(std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) push_back(name);
  }

  size_t size() const { return m_ends.size(); }
  bool empty() const { return m_ends.empty(); }
  // The bytes of all names together.
  size_t bytes() const { return m_bytes.size(); }
  std::string_view operator[](size_t i) const {
    const uint32_t begin = i == 0 ? 0 : m_ends[i - 1];
    return {m_bytes.data() + begin, m_ends[i] - begin};
  }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

  void reserve(size_t names, size_t bytes) {
    m_ends.reserve(names);
    m_bytes.reserve(bytes);
  }
  void clear() {
    m_ends.clear();
    m_bytes.clear();
  }
  void push_back(std::string_view name) {
    m_bytes.append(name);
    seal();
  }
  // A name written straight into the buffer: `write(buffer)` appends its bytes.
  template <class Write>
  void emplace(Write&& write) {
    write(m_bytes);
    seal();
  }
  // Gives the buffers back to the system (clear keeps them).
  void release() {
    std::string().swap(m_bytes);
    std::vector<uint32_t>().swap(m_ends);
  }

  // A copy as strings of their own (for the views and the tests).
  std::vector<std::string> strings() const { return {begin(), end()}; }

  friend bool operator==(const NameList& a, const NameList& b) {
    return a.m_ends == b.m_ends && a.m_bytes == b.m_bytes;
  }

 private:
  void seal() {
    // Ends are 32 bits: four gigabytes of names in one folder are more than any
    // system holds, and are treated as the memory running out.
    if (m_bytes.size() > UINT32_MAX) {
      m_bytes.resize(m_ends.empty() ? 0 : m_ends.back());
      throw std::bad_alloc();
    }
    m_ends.push_back(static_cast<uint32_t>(m_bytes.size()));
  }

  std::string m_bytes;
  std::vector<uint32_t> m_ends;
};

}  // namespace platform
