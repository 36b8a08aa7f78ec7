// The 21 functions a host calls. Each checks its handle and pointer arguments
// and forwards to the object; nothing is ever raised to the host.
#include <new>
#include <type_traits>

#include "api/configuration.h"
#include "api/decoder_object.h"
#include "api/diagnostics.h"
#include "params/module_types.h"
#include "wendrake/wendrake.h"

namespace {

// Structured lists are always empty, so every index fails the check after
// the node check and the payload address is never written.
StructParam* StructParamAt(DecoderObject* decoder, int nodeIdx, int paramIdx, bool current) {
  const ReportItem* item = decoder->Item(nodeIdx, "nodeIdx");
  if (item == nullptr) return nullptr;
  const int count = current ? item->curStructCount : item->inheritStructCount;
  if (paramIdx < 0 || paramIdx >= count) {
    wendrake::PrintBoundViolation("paramIdx");
    return nullptr;
  }
  // Unreachable while no decoder sets a structured parameter.
  return nullptr;
}

ParamSlot* ParamAt(DecoderObject* decoder, int nodeIdx, int paramIdx, bool current) {
  ReportItem* item = decoder->Item(nodeIdx, "nodeIdx");
  if (item == nullptr) return nullptr;
  const int count = current ? item->curParamCount : item->inheritParamCount;
  if (paramIdx < 0 || paramIdx >= count) {
    wendrake::PrintBoundViolation("paramIdx");
    return nullptr;
  }
  const uint16_t ref = current ? item->curParamList[paramIdx] : item->inheritParamList[paramIdx];
  return &item->paramSlots[ref / sizeof(ParamSlot)];
}

}  // namespace

extern "C" {

WENDRAKE_API DecoderObject* WENDRAKE_CALL CreateDecoderObjectProc(int moduleType) {
  if (!wendrake::IsKnownModuleType(moduleType)) {
    wendrake::Print(wendrake::Diagnostic::kUnknownModuleType);
    return nullptr;
  }
  DecoderObject* decoder = new (std::nothrow) DecoderObject(moduleType);
  if (decoder == nullptr) {
    wendrake::Print(wendrake::Diagnostic::kCreateFailed);
    return nullptr;
  }
  if (!decoder->Init()) {
    delete decoder;
    return nullptr;
  }
  return decoder;
}

WENDRAKE_API bool WENDRAKE_CALL FreeDecoderObjectProc(DecoderObject** handle) {
  if (handle == nullptr || *handle == nullptr) return false;
  delete *handle;
  *handle = nullptr;
  return true;
}

WENDRAKE_API bool WENDRAKE_CALL SetDecoderConfiguration(DecoderObject* decoder, int type,
                                                        const uint8_t* buffer, int size) {
  if (decoder == nullptr || buffer == nullptr) return false;
  return wendrake::CheckConfiguration(type, buffer, size);
}

WENDRAKE_API bool WENDRAKE_CALL DecodeMsgProc(DecoderObject* decoder, const char* text, int length,
                                              ...) {
  if (decoder == nullptr || text == nullptr || length <= 0) return false;
  return decoder->Decode(text, length);
}

WENDRAKE_API int WENDRAKE_CALL GetReportItemCountProc(DecoderObject* decoder) {
  if (decoder == nullptr) return -1;
  return decoder->TakeSnapshot();
}

WENDRAKE_API bool WENDRAKE_CALL ClearReportItemsProc(DecoderObject* decoder) {
  if (decoder == nullptr) return false;
  decoder->Clear();
  return true;
}

WENDRAKE_API ReportItem* WENDRAKE_CALL GetReportItemProc(DecoderObject* decoder, int i) {
  if (decoder == nullptr) return nullptr;
  return decoder->Item(i, "i");
}

WENDRAKE_API int WENDRAKE_CALL GetReportItemMsgCode(DecoderObject* decoder, int i) {
  if (decoder == nullptr) return -1;
  const ReportItem* item = decoder->Item(i, "i");
  return item == nullptr ? -1 : static_cast<int>(item->msgCode);
}

WENDRAKE_API int WENDRAKE_CALL GetReportItemMsgDirection(DecoderObject* decoder, int i) {
  if (decoder == nullptr) return -1;
  const ReportItem* item = decoder->Item(i, "i");
  return item == nullptr ? -1 : item->direction;
}

WENDRAKE_API ReportTime* WENDRAKE_CALL GetReportItemMsgTime(DecoderObject* decoder, int i) {
  if (decoder == nullptr) return nullptr;
  ReportItem* item = decoder->Item(i, "i");
  return item == nullptr ? nullptr : reinterpret_cast<ReportTime*>(&item->timeSeconds);
}

WENDRAKE_API ReportBlock* WENDRAKE_CALL GetReportItemBinary(DecoderObject* decoder, int i) {
  if (decoder == nullptr) return nullptr;
  ReportItem* item = decoder->Item(i, "i");
  return item == nullptr ? nullptr : reinterpret_cast<ReportBlock*>(&item->textLength);
}

WENDRAKE_API ReportBlock* WENDRAKE_CALL GetReportItemBinaryToRCUFilter(DecoderObject* decoder,
                                                                       int i) {
  if (decoder == nullptr) return nullptr;
  ReportItem* item = decoder->Item(i, "i");
  return item == nullptr ? nullptr : reinterpret_cast<ReportBlock*>(&item->rawLength);
}

WENDRAKE_API ReportBlock* WENDRAKE_CALL GetReportItemBinaryToRCUSimple(DecoderObject* decoder,
                                                                       int i) {
  if (decoder == nullptr) return nullptr;
  ReportItem* item = decoder->Item(i, "i");
  return item == nullptr ? nullptr : reinterpret_cast<ReportBlock*>(&item->simpleLength);
}

WENDRAKE_API int WENDRAKE_CALL GetReportItemCurDecodeParamCount(DecoderObject* decoder, int i) {
  if (decoder == nullptr) return -1;
  const ReportItem* item = decoder->Item(i, "i");
  return item == nullptr ? -1 : item->curParamCount;
}

WENDRAKE_API int WENDRAKE_CALL GetReportItemInheritDecodeParamCount(DecoderObject* decoder, int i) {
  if (decoder == nullptr) return -1;
  const ReportItem* item = decoder->Item(i, "i");
  return item == nullptr ? -1 : item->inheritParamCount;
}

WENDRAKE_API ParamSlot* WENDRAKE_CALL GetReportItemCurDecodeParamList(DecoderObject* decoder,
                                                                      int nodeIdx, int paramIdx) {
  if (decoder == nullptr) return nullptr;
  return ParamAt(decoder, nodeIdx, paramIdx, true);
}

WENDRAKE_API ParamSlot* WENDRAKE_CALL GetReportItemInheritDecodeParamList(DecoderObject* decoder,
                                                                          int nodeIdx,
                                                                          int paramIdx) {
  if (decoder == nullptr) return nullptr;
  return ParamAt(decoder, nodeIdx, paramIdx, false);
}

WENDRAKE_API int WENDRAKE_CALL GetReportItemCurDecodeStructParamCount(DecoderObject* decoder,
                                                                      int i) {
  if (decoder == nullptr) return -1;
  const ReportItem* item = decoder->Item(i, "i");
  return item == nullptr ? -1 : item->curStructCount;
}

WENDRAKE_API int WENDRAKE_CALL GetReportItemInheritDecodeStructParamCount(DecoderObject* decoder,
                                                                          int i) {
  if (decoder == nullptr) return -1;
  const ReportItem* item = decoder->Item(i, "i");
  return item == nullptr ? -1 : item->inheritStructCount;
}

WENDRAKE_API StructParam* WENDRAKE_CALL GetReportItemCurDecodeStructParamList(
    DecoderObject* decoder, int nodeIdx, int paramIdx) {
  if (decoder == nullptr) return nullptr;
  return StructParamAt(decoder, nodeIdx, paramIdx, true);
}

WENDRAKE_API StructParam* WENDRAKE_CALL GetReportItemInheritDecodeStructParamList(
    DecoderObject* decoder, int nodeIdx, int paramIdx) {
  if (decoder == nullptr) return nullptr;
  return StructParamAt(decoder, nodeIdx, paramIdx, false);
}

}  // extern "C"

// Hosts that load the library at run time call the exports through the
// header's function-pointer types; each must match its export exactly, or a
// host would call it with a wrong signature or calling convention.
#define WENDRAKE_CHECK_EXPORT_TYPE(name) \
  static_assert(std::is_same_v<decltype(&name), name##Fn>, #name " differs from " #name "Fn")
WENDRAKE_CHECK_EXPORT_TYPE(CreateDecoderObjectProc);
WENDRAKE_CHECK_EXPORT_TYPE(FreeDecoderObjectProc);
WENDRAKE_CHECK_EXPORT_TYPE(SetDecoderConfiguration);
WENDRAKE_CHECK_EXPORT_TYPE(DecodeMsgProc);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemCountProc);
WENDRAKE_CHECK_EXPORT_TYPE(ClearReportItemsProc);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemProc);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemMsgCode);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemMsgDirection);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemMsgTime);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemBinary);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemBinaryToRCUFilter);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemBinaryToRCUSimple);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemCurDecodeParamCount);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemInheritDecodeParamCount);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemCurDecodeParamList);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemInheritDecodeParamList);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemCurDecodeStructParamCount);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemInheritDecodeStructParamCount);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemCurDecodeStructParamList);
WENDRAKE_CHECK_EXPORT_TYPE(GetReportItemInheritDecodeStructParamList);
#undef WENDRAKE_CHECK_EXPORT_TYPE
