#include "table/table_reader.h"

#include <algorithm>
#include <cstring>

#include "wendrake/table.h"

namespace wendrake {
namespace {

constexpr size_t kReadBytes = size_t{1} << 20;
// Rows reserved for a piece of input that is read, not mapped.
constexpr size_t kReadRows = 65536;

// Bytes of `text` up to and including its `lines`-th newline (all of it when
// it has fewer), and the newlines in them.
size_t PrefixOfLines(std::string_view text, size_t lines, size_t* newlines) {
  const char* at = text.data();
  const char* end = at + text.size();
  *newlines = 0;
  while (*newlines < lines && at < end) {
    const void* found = std::memchr(at, '\n', static_cast<size_t>(end - at));
    if (found == nullptr) return text.size();
    at = static_cast<const char*>(found) + 1;
    ++*newlines;
  }
  return static_cast<size_t>(at - text.data());
}

}  // namespace

TableReader::TableReader(int32_t moduleType, TableBuilder::Params params, size_t linesPerPiece)
    : builder_(moduleType, params), linesPerPiece_(linesPerPiece) {}

int TableReader::OpenFile(const char* path) {
  const int result = file_.Open(path);
  if (result != WENDRAKE_OK) return result;
  if (file_.mapped()) {
    block_ = std::string_view(file_.data(), file_.size());
  } else {
    reading_ = true;
    readBuffer_.resize(kReadBytes);
  }
  return WENDRAKE_OK;
}

void TableReader::SetBuffer(const char* data, size_t length) { block_ = std::string_view(data, length); }

bool TableReader::ReadBlock(int* result) {
  if (!reading_) return false;
  const long n = file_.ReadChunk(readBuffer_.data(), readBuffer_.size());
  if (n < 0) *result = WENDRAKE_ERROR_READ;
  if (n <= 0) return false;
  block_ = std::string_view(readBuffer_.data(), static_cast<size_t>(n));
  return true;
}

int TableReader::Next(const ItemTable** piece) {
  *piece = nullptr;
  if (ended_) return WENDRAKE_OK;
  if (!started_) {
    // Every line yields at most one item, so a piece never needs more rows
    // than it has lines, nor than the input has bytes (plus an unfinished
    // line); read input grows the columns as it comes.
    const size_t bound = reading_ ? kReadRows : block_.size() + 1;
    builder_.ReserveRows(std::min(linesPerPiece_, bound));
    started_ = true;
  } else {
    builder_.NextPiece();
  }
  // Lines are fed up to the piece's last newline; a line cut by the end of
  // a read block waits in the builder for the rest.
  size_t lines = 0;
  int result = WENDRAKE_OK;
  while (lines < linesPerPiece_) {
    if (block_.empty() && !ReadBlock(&result)) {
      if (result != WENDRAKE_OK) return result;
      // The end of the input ends its last line, counted as a line.
      builder_.EndInput();
      ended_ = true;
      break;
    }
    size_t newlines = 0;
    const size_t bytes = PrefixOfLines(block_, linesPerPiece_ - lines, &newlines);
    builder_.Feed(block_.data(), bytes);
    block_.remove_prefix(bytes);
    lines += newlines;
  }
  // A piece that ends with the last newline of a buffer or mapped file is
  // the last one; an unfinished line left over makes a piece of its own.
  if (!ended_ && block_.empty() && !reading_ && !builder_.pending()) ended_ = true;
  *piece = &builder_.Piece();
  return WENDRAKE_OK;
}

}  // namespace wendrake
