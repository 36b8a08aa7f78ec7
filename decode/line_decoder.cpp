#include "decode/line_decoder.h"

#include <algorithm>
#include <cstring>

#include "decode/line_assembler.h"
#include "decode/msg_code.h"
#include "params/report_item.h"
#include "records/cevs_record.h"
#include "records/cl3_record.h"
#include "records/column_record.h"
#include "text/c_numbers.h"
#include "text/words.h"

namespace wendrake {

LineDecoder::LineDecoder(int32_t moduleType, bool writeText)
    : moduleType_(moduleType), writeText_(writeText) {
  InitReportItem(&current_);
}

void LineDecoder::RegisterColumns(std::string_view lineText, std::string_view recordToken) {
  // Without a record token there is nothing to register, whatever the
  // previous line's type was.
  if (recordToken.empty()) return;
  recordType_ = RecordTypeOf(recordToken);
  if (HasColumnRegistration(recordType_)) columns_.Register(recordType_, lineText);
}

// The envelope every data line's text opens and closes with: the tags
// "message" and "content" and the element "format" with the value "Dtlog".
// They are constant, so they are appended whole instead of formed per line.
constexpr char kEnvelopeOpen[] = "<message>\n<format>Dtlog</format>\n<content>\n";
constexpr char kEnvelopeClose[] = "</content>\n</message>\n";
static_assert(sizeof kEnvelopeClose - 1 == XmlText::kEnvelopeCloseLength);

void LineDecoder::OpenEnvelope() { text_.Append(kEnvelopeOpen, sizeof kEnvelopeOpen - 1); }

void LineDecoder::CloseEnvelope() {
  text_.Append(kEnvelopeClose, sizeof kEnvelopeClose - 1);
  current_.textLength = static_cast<uint32_t>(text_.length());
}

void LineDecoder::SetClock(std::string_view restOfLine) {
  Words words(restOfLine);
  auto next = [&words] { return static_cast<uint16_t>(CAtoi(words.Next())); };
  switch (recordType_) {
    case kRecordDAY:
      clock_.year = next();
      clock_.month = next();
      clock_.day = next();
      break;
    case kRecordHOUR:
      clock_.hour = next();
      break;
    case kRecordMIN:
      clock_.minute = next();
      break;
    case kRecordSEC:
      clock_.second = next();
      clock_.milliseconds = next();
      break;
    default:
      break;
  }
}

bool LineDecoder::DecodeRecord(std::string_view lineText) {
  const RecordContext line{recordType_, columns_, current_, text_, params_, writeText_};
  switch (recordType_) {
    case kRecordDM: case kRecordSC: case kRecordHOP: case kRecordPSM: case kRecordAP:
    case kRecordPCP: case kRecordUI: case kRecordASFI: case kRecordC1XQI: case kRecordC1XSMI:
    case kRecordEVT:
      return DecodeColumnRecord(line, lineText);
    case kRecordCL3:
      return DecodeCl3Record(line, lineText, signalling_);
    case kRecordCEVS:
      return DecodeCevsRecord(line, lineText, signalling_);
    default:
      return false;
  }
}

bool LineDecoder::Dispatch(const char* line, int n) {
  const uint32_t rawLength = static_cast<uint32_t>(std::min(n, WENDRAKE_BLOCK_SIZE));
  current_.rawLength = rawLength;
  std::memcpy(current_.raw, line, rawLength);
  text_.Reset();
  current_.textLength = 0;
  params_.BeginLine();

  // The raw block keeps the line end; the decoders see the text before it.
  const std::string_view lineText = LineText(line, n);
  Words words(lineText);
  const std::string_view first = words.Next();
  if (first.empty()) return false;
  if (first == "RegReport") {
    RegisterColumns(lineText, words.Next());
    return false;
  }
  if (first == "FileInfo") return false;

  recordType_ = RecordTypeOf(first);
  const MsgTime time = timeCache_.Get(clock_);
  current_.timeSeconds = time.seconds;
  current_.timeMicros = time.micros;
  const bool hasXml = writeText_ && recordType_ != kRecordCL3;
  if (hasXml) OpenEnvelope();

  bool produced = false;
  if (recordType_ >= kRecordDAY && recordType_ <= kRecordSEC) {
    // The new clock stamps the lines after this one.
    SetClock(lineText.substr(static_cast<size_t>(first.data() + first.size() - lineText.data())));
  } else {
    produced = DecodeRecord(lineText);
  }

  current_.msgCode = MakeMsgCode(recordType_, moduleType_, current_);
  current_.direction = MakeMsgDirection(current_.msgCode);
  if (hasXml) CloseEnvelope();
  return produced;
}

}  // namespace wendrake
