// The bits of one logged message, read field by field up to a limit that
// never lies past the logged bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "l3/bit_reader.h"

namespace wendrake {

class MessageBits {
 public:
  // Reads `message` (the logged message, `loggedBytes` long) from byte
  // `startByte` up to byte `limitBytes`, which is clamped to the logged bytes.
  MessageBits(const uint8_t* message, int32_t loggedBytes, int32_t startByte, int32_t limitBytes);

  // Moves the limit to `limitBytes` from the start of the logged message
  // (clamped to the logged bytes): the channel's length field says where the
  // message ends. `why` says, for a field that then does not fit, what ended it.
  void Limit(int32_t limitBytes, std::string why);

  // The next bit's position, counted from the logged message's first bit.
  int32_t position() const { return start_ + reader_.bitPos() - 1; }
  // Bits left before the innermost limit: a record's end or the message's.
  int32_t left() const;
  const std::string& limitReason() const {
    return records_.empty() ? limitReason_ : records_.back().why;
  }

  // Confines the reads to the next `bits` bits (a record whose length field
  // gives its size), until EndRecord. False, with nothing changed, when the
  // record runs past the current limit.
  bool BeginRecord(int32_t bits, std::string why);
  // Leaves the innermost record at its end; returns the bits skipped.
  int32_t EndRecord();

  // A field of 0 to 64 bits; false, with nothing consumed, when it does not fit.
  bool Read(int32_t width, uint64_t& value);
  // A string of `width` bits (a whole number of octets) as hex digits; `first`
  // gets its first 64 bits. False, with nothing consumed, when it does not fit.
  bool ReadOctets(int32_t width, std::string& hex, uint64_t& first);
  // Skips to the next octet boundary of the message (or stays put on one).
  void AlignToOctet();

 private:
  void Attach(int32_t limitBytes);

  const uint8_t* message_;
  int32_t logged_;
  int32_t start_;  // bit offset of the reader's first bit
  BitReader reader_;
  std::string limitReason_;
  struct Record {
    int32_t end;  // bit position just past the record
    std::string why;
  };
  std::vector<Record> records_;
};

}  // namespace wendrake
