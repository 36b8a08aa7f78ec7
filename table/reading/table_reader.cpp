#include "table/reading/table_reader.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "table/reading/newlines.h"
#include "wendrake/table.h"

namespace wendrake {
namespace {

// Rows reserved for a piece of a file, whose lines are not counted ahead.
constexpr size_t kReadRows = 65536;

}  // namespace

TableReader::TableReader(int32_t moduleType, TableBuilder::Params params, size_t linesPerPiece, bool readAhead,
                         bool recordFields, bool messages)
    : builder_(moduleType, params, recordFields, messages), linesPerPiece_(linesPerPiece), readAhead_(readAhead) {}

TableReader::~TableReader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool TableReader::StartAhead() {
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { RunAhead(); });
    } catch (const std::system_error&) {
      return false;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wanted_ = true;
    done_ = false;
  }
  changed_.notify_all();
  return true;
}

int TableReader::WaitAhead(bool* decoded) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return done_; });
  if (aheadError_) std::rethrow_exception(std::exchange(aheadError_, nullptr));
  *decoded = aheadDecoded_;
  return aheadResult_;
}

void TableReader::RunAhead() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // A piece asked for is decoded even when the reader is stopping: the
    // destructor waits for it rather than free what it writes into.
    changed_.wait(lock, [this] { return wanted_ || stopping_; });
    if (!wanted_) return;
    wanted_ = false;
    lock.unlock();
    bool decoded = false;
    int result = WENDRAKE_OK;
    std::exception_ptr error;
    try {
      result = DecodePiece(&decoded);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    aheadResult_ = result;
    aheadDecoded_ = decoded;
    aheadError_ = error;
    done_ = true;
    changed_.notify_all();
  }
}

int TableReader::OpenFile(const char* path) {
  const int result = file_.Open(path);
  if (result != WENDRAKE_OK) return result;
  reading_ = true;
  readBuffer_.resize(LogFile::kBlockBytes);
  return WENDRAKE_OK;
}

void TableReader::SetBuffer(const char* data, size_t length) { block_ = std::string_view(data, length); }

bool TableReader::ReadBlock(int* result) {
  if (!reading_) return false;
  const long n = file_.Read(readBuffer_.data(), readBuffer_.size());
  if (n < 0) *result = WENDRAKE_ERROR_READ;
  if (n <= 0) return false;
  block_ = std::string_view(readBuffer_.data(), static_cast<size_t>(n));
  return true;
}

int TableReader::Next(const ItemTable** piece) {
  *piece = nullptr;
  bool decoded = false;
  int result = WENDRAKE_OK;
  if (aheadAsked_) {
    aheadAsked_ = false;
    result = WaitAhead(&decoded);
  } else {
    result = DecodePiece(&decoded);
  }
  if (result != WENDRAKE_OK || !decoded) return result;
  if (!readAhead_) {
    *piece = &builder_.Piece();
    return WENDRAKE_OK;
  }
  // The piece moves to handedOut_, the builder takes the table of the piece
  // before it, and decodes the next piece into that while the caller reads.
  builder_.SwapTable(&handedOut_);
  *piece = &handedOut_;
  if (!ended_) {
    aheadAsked_ = StartAhead();
    // Without a thread the next piece is decoded when asked for.
    readAhead_ = aheadAsked_;
  }
  return WENDRAKE_OK;
}

int TableReader::DecodePiece(bool* decoded) {
  *decoded = false;
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
  // A piece that ends with the last newline of a buffer is the last one; an
  // unfinished line left over makes a piece of its own.
  if (!ended_ && block_.empty() && !reading_ && !builder_.pending()) ended_ = true;
  builder_.Piece();
  *decoded = true;
  return WENDRAKE_OK;
}

}  // namespace wendrake
