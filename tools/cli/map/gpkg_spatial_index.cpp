#include "map/gpkg_spatial_index.h"

#include <sqlite3.h>

#include <fmt/format.h>

#include <memory>
#include <utility>

namespace wendrake_cli {
namespace {

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};

std::string Literal(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// The triggers of the extension's definition, which keep the index in step
// with edits made later (in QGIS, say): each its name's ending and its body,
// {t} the table, {c} its geometry column, {i} its fid column, {r} the R-tree.
constexpr std::pair<const char*, const char*> kTriggers[] = {
    {"insert",
     R"(AFTER INSERT ON {t} WHEN (new.{c} NOT NULL AND NOT ST_IsEmpty(NEW.{c})) BEGIN INSERT OR REPLACE INTO {r} VALUES (NEW.{i},ST_MinX(NEW.{c}), ST_MaxX(NEW.{c}),ST_MinY(NEW.{c}), ST_MaxY(NEW.{c})); END)"},
    {"update1",
     R"(AFTER UPDATE OF {c} ON {t} WHEN OLD.{i} = NEW.{i} AND (NEW.{c} NOTNULL AND NOT ST_IsEmpty(NEW.{c})) BEGIN INSERT OR REPLACE INTO {r} VALUES (NEW.{i},ST_MinX(NEW.{c}), ST_MaxX(NEW.{c}),ST_MinY(NEW.{c}), ST_MaxY(NEW.{c})); END)"},
    {"update2",
     R"(AFTER UPDATE OF {c} ON {t} WHEN OLD.{i} = NEW.{i} AND (NEW.{c} ISNULL OR ST_IsEmpty(NEW.{c})) BEGIN DELETE FROM {r} WHERE id = OLD.{i}; END)"},
    {"update3",
     R"(AFTER UPDATE ON {t} WHEN OLD.{i} != NEW.{i} AND (NEW.{c} NOTNULL AND NOT ST_IsEmpty(NEW.{c})) BEGIN DELETE FROM {r} WHERE id = OLD.{i}; INSERT OR REPLACE INTO {r} VALUES (NEW.{i},ST_MinX(NEW.{c}), ST_MaxX(NEW.{c}),ST_MinY(NEW.{c}), ST_MaxY(NEW.{c})); END)"},
    {"update4",
     R"(AFTER UPDATE ON {t} WHEN OLD.{i} != NEW.{i} AND (NEW.{c} ISNULL OR ST_IsEmpty(NEW.{c})) BEGIN DELETE FROM {r} WHERE id IN (OLD.{i}, NEW.{i}); END)"},
    {"delete", R"(AFTER DELETE ON {t} WHEN old.{c} NOT NULL BEGIN DELETE FROM {r} WHERE id = OLD.{i}; END)"},
};

class Transaction {
 public:
  Transaction(sqlite3* db, std::string* error) : db_(db), error_(error) {}

  bool Run(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    *error_ = sqlite3_errmsg(db_);
    return false;
  }
  bool Fail() {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }

 private:
  sqlite3* db_;
  std::string* error_;
};

}  // namespace

bool AddGpkgSpatialIndex(const std::string& path, const GpkgLayerNames& layer, const RtreePoints& points,
                         std::string* error, int* systemError) {
  *systemError = 0;
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, DatabaseCloser> db(raw);
  if (opened != SQLITE_OK) {
    *error = raw != nullptr ? sqlite3_errmsg(raw) : "out of memory";
    if (raw != nullptr) *systemError = sqlite3_system_errno(raw);
    return false;
  }
  const std::string rtree = "rtree_" + layer.table + "_" + layer.geometry;
  Transaction transaction(db.get(), error);
  bool ok = transaction.Run("BEGIN") &&
            transaction.Run("CREATE VIRTUAL TABLE " + QuotedSqlName(rtree) + " USING rtree(id, minx, maxx, miny, maxy)") &&
            FillPackedRtree(db.get(), rtree, points, error);
  for (const auto& [ending, body] : kTriggers) {
    if (!ok) break;
    ok = transaction.Run("CREATE TRIGGER " + QuotedSqlName(rtree + "_" + ending) + " " +
                         fmt::format(fmt::runtime(body), fmt::arg("t", QuotedSqlName(layer.table)),
                                     fmt::arg("c", QuotedSqlName(layer.geometry)), fmt::arg("i", QuotedSqlName(layer.fid)),
                                     fmt::arg("r", QuotedSqlName(rtree))));
  }
  ok = ok &&
       transaction.Run(
           "CREATE TABLE IF NOT EXISTS gpkg_extensions (table_name TEXT, column_name TEXT, extension_name TEXT NOT "
           "NULL, definition TEXT NOT NULL, scope TEXT NOT NULL, CONSTRAINT ge_tce UNIQUE (table_name, column_name, "
           "extension_name))") &&
       transaction.Run("INSERT INTO gpkg_extensions (table_name, column_name, extension_name, definition, scope) VALUES (" +
                       Literal(layer.table) + ", " + Literal(layer.geometry) +
                       ", 'gpkg_rtree_index', 'http://www.geopackage.org/spec120/#extension_rtree', 'write-only')") &&
       transaction.Run("COMMIT");
  if (!ok) {
    *systemError = sqlite3_system_errno(db.get());
    return transaction.Fail();
  }
  if (sqlite3_close(db.release()) != SQLITE_OK) {
    *error = "cannot close the file";
    return false;
  }
  return true;
}

}  // namespace wendrake_cli
