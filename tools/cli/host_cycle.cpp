#include "host_cycle.h"

#include <algorithm>
#include <memory>

#include "progress.h"
#include "wendrake/wendrake.h"

namespace wendrake_cli {
namespace {

// DecodeMsgProc takes an int length; a longer line goes in pieces, which
// the line assembly joins again.
constexpr size_t kMaxPiece = 1u << 20;

struct DecoderDeleter {
  void operator()(DecoderObject* decoder) const { FreeDecoderObjectProc(&decoder); }
};
using Decoder = std::unique_ptr<DecoderObject, DecoderDeleter>;

void ReadParams(DecoderObject* decoder, int i, bool current, std::vector<ParamValue>* out) {
  out->clear();
  const int count = current ? GetReportItemCurDecodeParamCount(decoder, i)
                            : GetReportItemInheritDecodeParamCount(decoder, i);
  for (int p = 0; p < count; ++p) {
    const ParamSlot* slot = current ? GetReportItemCurDecodeParamList(decoder, i, p)
                                    : GetReportItemInheritDecodeParamList(decoder, i, p);
    if (slot != nullptr) out->push_back(ParamValue{slot->paramId, slot->state, slot->value});
  }
}

std::string_view BlockBytes(const ReportBlock* block) {
  if (block == nullptr) return {};
  const size_t length = std::min<size_t>(block->length, WENDRAKE_BLOCK_SIZE);
  return std::string_view(reinterpret_cast<const char*>(block->bytes), length);
}

void ReadItem(DecoderObject* decoder, int i, Item* item) {
  item->code = static_cast<uint32_t>(GetReportItemMsgCode(decoder, i));
  item->direction = GetReportItemMsgDirection(decoder, i);
  const ReportTime* time = GetReportItemMsgTime(decoder, i);
  item->seconds = time != nullptr ? time->seconds : 0;
  item->micros = time != nullptr ? time->micros : 0;
  item->text = BlockBytes(GetReportItemBinary(decoder, i));
  item->raw = BlockBytes(GetReportItemBinaryToRCUFilter(decoder, i));
  ReadParams(decoder, i, true, &item->current);
  ReadParams(decoder, i, false, &item->inherited);
}

}  // namespace

bool DecodeLog(LogReader& reader, int moduleType, ItemSink& sink, std::string* error) {
  Decoder decoder(CreateDecoderObjectProc(moduleType));
  if (!decoder) {
    *error = "cannot create a decoder for module type " + std::to_string(moduleType);
    return false;
  }
  Progress progress(reader.totalBytes());
  Item item;
  LogLine line;
  while (reader.Next(&line)) {
    int count = 0;
    // One complete line per DecodeMsgProc call: the items of a call then all
    // belong to that line, so every item gets its exact line number, and a
    // call can never queue more than the 200 items the queue holds. A last
    // line without a newline is never complete, so it is not fed.
    if (line.terminated) {
      for (size_t at = 0; at < line.bytes.size(); at += kMaxPiece) {
        const size_t piece = std::min(kMaxPiece, line.bytes.size() - at);
        DecodeMsgProc(decoder.get(), line.bytes.data() + at, static_cast<int>(piece));
      }
      count = GetReportItemCountProc(decoder.get());
      if (count > 0) {
        item.line = line.number;
        item.lineText = WithoutLineEnd(line.bytes);
        item.token = RecordTokenOf(item.lineText);
      }
      for (int i = 0; i < count; ++i) {
        ReadItem(decoder.get(), i, &item);
        sink.OnItem(item);
      }
      ClearReportItemsProc(decoder.get());
    }
    sink.OnLine(line, count);
    progress.Update(reader.bytesRead());
  }
  progress.Finish();
  if (!reader.error().empty()) {
    *error = reader.error();
    return false;
  }
  return true;
}

}  // namespace wendrake_cli
