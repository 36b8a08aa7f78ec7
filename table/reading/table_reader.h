// Decodes a log piece by piece: each piece is the table of the items of the
// next lines, in memory reused from piece to piece, so that a log of any
// size is summarised or written out in the memory of one piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "table/reading/log_file.h"
#include "table/columns/table_builder.h"

namespace wendrake {

class TableReader {
 public:
  // Pieces of the items of at most `linesPerPiece` (> 0) lines each; with
  // `readAhead`, each next piece is decoded on a second thread while the
  // caller reads the last one.
  TableReader(int32_t moduleType, TableBuilder::Params params, size_t linesPerPiece, bool readAhead,
              bool recordFields = false, bool messages = false);
  TableReader(const TableReader&) = delete;
  TableReader& operator=(const TableReader&) = delete;
  // Waits for a piece being read ahead, and stops the thread.
  ~TableReader();

  // The input: a file (WENDRAKE_OK, or WENDRAKE_ERROR_OPEN / _READ with
  // errno set), or a buffer the caller keeps until the reader goes.
  int OpenFile(const char* path);
  void SetBuffer(const char* data, size_t length);

  // Decodes the next piece into *piece (valid until the next call), or sets
  // it null after the last piece. Every log, even an empty one, has a piece.
  // WENDRAKE_OK, or WENDRAKE_ERROR_READ with errno set.
  int Next(const ItemTable** piece);

 private:
  // Refills block_ from the file; false at its end.
  bool ReadBlock(int* result);
  // Decodes the next piece into the builder's table; `decoded` false when
  // the last piece had been decoded already.
  int DecodePiece(bool* decoded);
  // Read ahead: asks the thread for the next piece (false when no thread
  // can be had), and waits for it.
  bool StartAhead();
  int WaitAhead(bool* decoded);
  void RunAhead();

  TableBuilder builder_;
  size_t linesPerPiece_;
  LogFile file_;
  bool reading_ = false;  // the input comes from file_, not a buffer
  std::vector<char> readBuffer_;
  std::string_view block_;  // input not yet fed
  bool started_ = false;
  bool ended_ = false;  // the last piece is decoded
  bool readAhead_;
  ItemTable handedOut_;  // read ahead: the piece the caller reads
  bool aheadAsked_ = false;  // a piece is being read ahead (the caller's view)

  // Shared with the read-ahead thread, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  bool wanted_ = false;  // a piece is asked for
  bool done_ = false;    // ... and decoded: its result follows
  int aheadResult_ = 0;
  bool aheadDecoded_ = false;
  std::exception_ptr aheadError_;
  bool stopping_ = false;
  std::thread thread_;  // last: stopped before anything it uses goes
};

}  // namespace wendrake
