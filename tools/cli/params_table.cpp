#include "params_table.h"

#include <fmt/format.h>

#include "param_info.h"
#include "text_escape.h"

namespace wendrake_cli {

void ParamColumns::OnItem(const Item& item) {
  for (const ParamValue& p : item.current) ids_.insert(p.id);
  for (const ParamValue& p : item.inherited) ids_.insert(p.id);
}

ParamRows::ParamRows(std::vector<uint32_t> ids, Output* out) : ids_(std::move(ids)), out_(out) {
  std::string header = "line,time,record,code";
  for (size_t i = 0; i < ids_.size(); ++i) {
    columnOf_[ids_[i]] = i;
    header += ',';
    AppendCsv(&header, ParamName(ids_[i]));
  }
  header += '\n';
  out_->Write(header);
  cells_.resize(ids_.size());
}

void ParamRows::OnItem(const Item& item) {
  std::fill(cells_.begin(), cells_.end(), nullptr);
  for (const auto* list : {&item.inherited, &item.current}) {
    for (const ParamValue& p : *list) {
      const auto column = columnOf_.find(p.id);
      if (column != columnOf_.end()) cells_[column->second] = &p;
    }
  }
  row_.clear();
  fmt::format_to(std::back_inserter(row_), "{},{},", item.line, IsoTime(item.seconds, item.micros));
  AppendCsv(&row_, item.token);
  fmt::format_to(std::back_inserter(row_), ",{}", HexCode(item.code));
  for (const ParamValue* p : cells_) {
    row_ += ',';
    if (p != nullptr) fmt::format_to(std::back_inserter(row_), "{}", RealValue(p->id, p->stored));
  }
  row_ += '\n';
  out_->Write(row_);
}

}  // namespace wendrake_cli
