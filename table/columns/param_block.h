// Storage of a table's parameter columns: one block of doubles, column k
// starting stride() elements after column k-1, so that a binding can hand
// the whole block to a matrix or data-frame library without copying it.
//
// The block reserves address space for every parameter slot up front and
// makes a column's part usable only when the column is added, so memory is
// taken only for the columns a log has. Large parts are held in huge pages
// and their pages mapped ahead of the writing (see ColumnBuffer).
#pragma once

#include <cstddef>
#include <vector>

#include "table/columns/column_buffer.h"

namespace wendrake {

class ParamBlock {
 public:
  ParamBlock() = default;
  ParamBlock(const ParamBlock&) = delete;
  ParamBlock& operator=(const ParamBlock&) = delete;
  ParamBlock(ParamBlock&& other) noexcept { *this = static_cast<ParamBlock&&>(other); }
  ParamBlock& operator=(ParamBlock&& other) noexcept;
  ~ParamBlock();

  // Room for `rows` rows in every column, present and future; throws
  // std::bad_alloc. Growing a block that has columns copies them into a new
  // block: column pointers change.
  void Reserve(size_t rows);

  // Appends a column (its cells unset) and returns its cells.
  double* AddColumn();

  // The bytes of rows [from, to) of every column, whose pages are to be mapped.
  void PagesOf(size_t from, size_t to, std::vector<PageRange>* ranges);

  // Gives back the pages of every column past its first `rows` rows.
  void ReleaseUnused(size_t rows);

  double* Column(size_t k) { return data_ + k * stride_; }
  const double* data() const { return data_; }
  size_t stride() const { return stride_; }  // also the rows every column has room for
  size_t columns() const { return columns_; }

 private:
  void* mapping_ = nullptr;  // the reserved address space, data_ inside it
  size_t mappingBytes_ = 0;
  double* data_ = nullptr;
  size_t stride_ = 0;   // elements from one column to the next
  size_t columns_ = 0;  // columns added
};

}  // namespace wendrake
