// "wendrake params --csv": a wide time series, one row per report item and
// one column per parameter that ever held a value, in real units.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host_cycle.h"
#include "output.h"

namespace wendrake_cli {

// First pass: which parameters ever hold a value.
class ParamColumns : public ItemSink {
 public:
  void OnItem(const Item& item) override;
  std::vector<uint32_t> Ids() const { return {ids_.begin(), ids_.end()}; }

 private:
  std::set<uint32_t> ids_;
};

// Second pass: writes the header, then one row per item. A cell is empty
// when the item holds no value for the parameter.
class ParamRows : public ItemSink {
 public:
  ParamRows(std::vector<uint32_t> ids, Output* out);
  void OnItem(const Item& item) override;

 private:
  std::vector<uint32_t> ids_;
  std::map<uint32_t, size_t> columnOf_;
  std::vector<const ParamValue*> cells_;
  std::string row_;
  Output* out_;
};

}  // namespace wendrake_cli
