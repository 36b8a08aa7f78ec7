#include "commands/host_cycle.h"

#include <algorithm>
#include <memory>

#include "io/progress.h"
#include "wendrake/wendrake.h"

namespace wendrake_cli {
namespace {

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

void Feed(DecoderObject* decoder, std::string_view bytes) {
  if (!bytes.empty()) DecodeMsgProc(decoder, bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace

bool DecodeLog(LogReader& reader, int moduleType, bool showProgress, ItemSink& sink,
               DecodeSummary* summary, std::string* error) {
  Decoder decoder(CreateDecoderObjectProc(moduleType));
  if (!decoder) {
    *error = "cannot create a decoder for module type " + std::to_string(moduleType);
    return false;
  }
  *summary = DecodeSummary{};
  Progress progress(reader.totalBytes(), showProgress);
  Item item;
  LogLine line;
  while (reader.Next(&line)) {
    // One line per DecodeMsgProc cycle: the items of a cycle then all belong
    // to that line, so every item gets its exact line number, and a cycle
    // can never queue more than the 200 items the queue holds. The bytes of
    // a long line beyond the kept part go to the decoder as they are read,
    // so the decoder, not this host, decides what such a line yields.
    Feed(decoder.get(), line.bytes);
    std::string_view piece;
    if (!line.complete) ++summary->longLines;
    while (reader.MoreOfLine(&line, &piece)) Feed(decoder.get(), piece);
    if (!line.terminated) {
      Feed(decoder.get(), "\n");
      summary->unterminatedLast = true;
    }
    const int count = GetReportItemCountProc(decoder.get());
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
    ++summary->lines;
    summary->items += static_cast<uint64_t>(std::max(count, 0));
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
