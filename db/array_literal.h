// Array values as a database that binds arrays reads them in text form:
// {1,2,3} or {"a","b\"c",NULL}. Many rows of one column then travel as one
// bind value, and one statement takes them all (unnest).
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "db/bind.h"

namespace qx::db {

// An array literal built one element at a time. Texts are quoted, with '"'
// and '\' escaped; a NULL (or an empty text, which binds as NULL) is NULL.
class ArrayLiteral {
 public:
  void add(const Bind& value);
  // Adds the elements of `other`, in order, after those added here.
  void append(const ArrayLiteral& other);
  // The literal of the elements added so far; nothing is added after it.
  std::string_view text() {
    if (!closed_) text_ += '}';
    closed_ = true;
    return text_;
  }
  std::size_t size() const { return size_; }
  void clear() {
    text_ = "{";
    size_ = 0;
    closed_ = false;
  }

 private:
  std::string text_ = "{";
  std::size_t size_ = 0;
  bool closed_ = false;
};

// Appends an integer or a real value as text, in the shortest digits that
// read back exactly, as both array literals and COPY rows write numbers;
// false, appending nothing, for NULL or a text.
bool append_number(const Bind& value, std::string& out);

// Writes every `stride`-th value of `values`, from `first` on, as one array
// literal into `out`.
void array_literal(std::span<const Bind> values, std::size_t first, std::size_t stride,
                   std::string& out);

}  // namespace qx::db
