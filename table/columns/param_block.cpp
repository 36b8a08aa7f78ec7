#include "table/columns/param_block.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "params/param_table.h"
#include "table/columns/column_buffer.h"

namespace wendrake {
namespace {

// Columns start on page boundaries, so that each one's pages can be made
// usable and given back on their own.
constexpr size_t kPageElements = kSmallPage / sizeof(double);

}  // namespace

ParamBlock& ParamBlock::operator=(ParamBlock&& other) noexcept {
  if (this != &other) {
    if (mapping_ != nullptr) munmap(mapping_, mappingBytes_);
    mapping_ = other.mapping_;
    mappingBytes_ = other.mappingBytes_;
    data_ = other.data_;
    stride_ = other.stride_;
    columns_ = other.columns_;
    other.mapping_ = nullptr;
    other.data_ = nullptr;
    other.mappingBytes_ = other.stride_ = other.columns_ = 0;
  }
  return *this;
}

ParamBlock::~ParamBlock() {
  if (mapping_ != nullptr) munmap(mapping_, mappingBytes_);
}

void ParamBlock::Reserve(size_t rows) {
  if (rows <= stride_) return;
  const size_t stride = RoundUp(rows, kPageElements);
  // Address space only (no memory is taken for it); one spare huge page to
  // start the block on a huge page boundary.
  const size_t bytes = static_cast<size_t>(kParamCount) * stride * sizeof(double) + kHugePage;
  void* mapping = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  ParamBlock grown;
  grown.mapping_ = mapping;
  grown.mappingBytes_ = bytes;
  grown.data_ = reinterpret_cast<double*>((reinterpret_cast<uintptr_t>(mapping) + kHugePage - 1) & ~(kHugePage - 1));
  grown.stride_ = stride;
  for (size_t k = 0; k < columns_; ++k) std::memcpy(grown.AddColumn(), Column(k), stride_ * sizeof(double));
  *this = static_cast<ParamBlock&&>(grown);
}

double* ParamBlock::AddColumn() {
  if (stride_ == 0) Reserve(kPageElements);
  if (columns_ == static_cast<size_t>(kParamCount)) throw std::bad_alloc();  // one column per slot at most
  double* column = Column(columns_);
  if (mprotect(column, stride_ * sizeof(double), PROT_READ | PROT_WRITE) != 0) throw std::bad_alloc();
  ++columns_;
  // Huge pages may span two columns: the advice covers every whole one so far.
  AdviseHugePages(data_, columns_ * stride_ * sizeof(double));
  return column;
}

void ParamBlock::PagesOf(size_t from, size_t to, std::vector<PageRange>* ranges) {
  if (to > stride_) to = stride_;
  if (from >= to) return;
  for (size_t k = 0; k < columns_; ++k) ranges->push_back(PageRange{Column(k) + from, (to - from) * sizeof(double)});
}

void ParamBlock::ReleaseUnused(size_t rows) {
  const size_t firstUnused = RoundUp(rows, kPageElements);
  if (firstUnused >= stride_) return;
  for (size_t k = 0; k < columns_; ++k) {
    madvise(Column(k) + firstUnused, (stride_ - firstUnused) * sizeof(double), MADV_DONTNEED);
  }
}

}  // namespace wendrake
