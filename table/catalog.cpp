// The catalogues of the table library (parameters, message names), read from
// the decoder's own tables so that tools and bindings never keep a copy.
#include <array>
#include <string_view>

#include "l3/message_names.h"
#include "params/param_names.h"
#include "params/param_scales.h"
#include "params/param_table.h"
#include "table/columns/evdo_state.h"
#include "params/record_type.h"
#include "wendrake/table.h"

namespace {

#define WENDRAKE_STRINGIFY2(x) #x
#define WENDRAKE_STRINGIFY(x) WENDRAKE_STRINGIFY2(x)
constexpr char kVersion[] = WENDRAKE_STRINGIFY(WENDRAKE_VERSION_MAJOR) "." WENDRAKE_STRINGIFY(
    WENDRAKE_VERSION_MINOR) "." WENDRAKE_STRINGIFY(WENDRAKE_VERSION_PATCH);

// Names and tokens are views into constant tables whose literals end in a
// zero, so they can be handed out as C strings.
const char* CString(std::string_view view) { return view.empty() ? nullptr : view.data(); }

}  // namespace

extern "C" {

WENDRAKE_TABLE_API const char* wendrake_version(void) { return kVersion; }

WENDRAKE_TABLE_API int wendrake_version_number(void) { return WENDRAKE_VERSION_NUMBER; }

WENDRAKE_TABLE_API int wendrake_param_count(void) { return wendrake::kParamCount; }

WENDRAKE_TABLE_API int wendrake_param_info(int slot, WendrakeParamInfo* info) {
  if (info == nullptr || slot < 0 || slot >= wendrake::kParamCount) return -1;
  const uint32_t id = wendrake::kSlotParamIds[static_cast<size_t>(slot)];
  info->id = id;
  info->slot = slot;
  info->scale = wendrake::SlotScale(slot);
  info->name = CString(wendrake::ParamName(id));
  info->record = CString(wendrake::RecordToken(wendrake::ParamRecordType(id)));
  info->unit = CString(wendrake::ParamUnit(id));
  return 0;
}

WENDRAKE_TABLE_API int wendrake_param_slot(uint32_t paramId) { return wendrake::SlotOfParam(paramId); }

WENDRAKE_TABLE_API const char* wendrake_evdo_state_name(int state) {
  if (state < 0 || state >= WENDRAKE_EVDO_STATE_COUNT) return nullptr;
  return CString(wendrake::kEvdoStateNames[state]);
}

WENDRAKE_TABLE_API const char* wendrake_message_name(uint32_t msgCode) {
  return CString(wendrake::Layer3MessageName(msgCode));
}

WENDRAKE_TABLE_API const char* wendrake_channel_name(uint16_t logCode) {
  return CString(wendrake::LogCodeChannelName(logCode));
}

}  // extern "C"
