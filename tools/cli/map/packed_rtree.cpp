#include "map/packed_rtree.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

namespace wendrake_cli {
namespace {

float Down(double value) {
  float f = static_cast<float>(value);
  if (f > value) f = std::nextafter(f, -INFINITY);
  return f;
}

float Up(double value) {
  float f = static_cast<float>(value);
  if (f < value) f = std::nextafter(f, INFINITY);
  return f;
}

// The R-tree module's node layout: a 16-bit tree depth (root only), a
// 16-bit cell count, then the cells, each a 64-bit row id (a leaf) or child
// node number and the box's four 32-bit floats, everything big-endian; the
// blob is as long as the root's.
constexpr size_t kHeaderBytes = 4;
constexpr size_t kCellBytes = 8 + 4 * 4;

void PutBigEndian(uint8_t* out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, value >>= 8) out[i] = static_cast<uint8_t>(value);
}

class NodeBlob {
 public:
  explicit NodeBlob(size_t bytes) : data_(bytes, 0) {}

  void Start(int depth) {
    std::fill(data_.begin(), data_.end(), 0);
    PutBigEndian(data_.data(), static_cast<uint64_t>(depth), 2);
    cells_ = 0;
  }
  void Add(int64_t id, const RtreeBox& box) {
    uint8_t* cell = data_.data() + kHeaderBytes + cells_ * kCellBytes;
    PutBigEndian(cell, static_cast<uint64_t>(id), 8);
    const float bounds[] = {box.minX, box.maxX, box.minY, box.maxY};
    for (int i = 0; i < 4; ++i) PutBigEndian(cell + 8 + 4 * i, std::bit_cast<uint32_t>(bounds[i]), 4);
    ++cells_;
    PutBigEndian(data_.data() + 2, cells_, 2);
  }
  const std::vector<uint8_t>& data() const { return data_; }

 private:
  std::vector<uint8_t> data_;
  size_t cells_ = 0;
};

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

class ShadowWriter {
 public:
  ShadowWriter(sqlite3* db, const std::string& table, std::string* error) : db_(db), error_(error) {
    ok_ = Prepare("INSERT OR REPLACE INTO " + QuotedSqlName(table + "_node") + "(nodeno, data) VALUES (?, ?)", &node_) &&
          Prepare("INSERT INTO " + QuotedSqlName(table + "_rowid") + "(rowid, nodeno) VALUES (?, ?)", &rowid_) &&
          Prepare("INSERT INTO " + QuotedSqlName(table + "_parent") + "(nodeno, parentnode) VALUES (?, ?)", &parent_);
  }
  bool ok() const { return ok_; }

  bool Node(int64_t number, const NodeBlob& blob) {
    sqlite3_bind_int64(node_.get(), 1, number);
    sqlite3_bind_blob(node_.get(), 2, blob.data().data(), static_cast<int>(blob.data().size()), SQLITE_STATIC);
    return Step(node_.get());
  }
  bool Pair(sqlite3_stmt* statement, int64_t a, int64_t b) {
    sqlite3_bind_int64(statement, 1, a);
    sqlite3_bind_int64(statement, 2, b);
    return Step(statement);
  }
  bool Rowid(int64_t rowid, int64_t node) { return Pair(rowid_.get(), rowid, node); }
  bool Parent(int64_t node, int64_t parent) { return Pair(parent_.get(), node, parent); }

 private:
  bool Prepare(const std::string& sql, Statement* statement) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) return Fail();
    statement->reset(raw);
    return true;
  }
  bool Step(sqlite3_stmt* statement) {
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_reset(statement);
    return done || Fail();
  }
  bool Fail() {
    *error_ = sqlite3_errmsg(db_);
    return false;
  }

  sqlite3* db_;
  std::string* error_;
  Statement node_, rowid_, parent_;
  bool ok_ = false;
};

// The size of the table's nodes, from its root as the module made it.
size_t NodeBytes(sqlite3* db, const std::string& table, std::string* error) {
  sqlite3_stmt* raw = nullptr;
  const std::string sql = "SELECT length(data) FROM " + QuotedSqlName(table + "_node") + " WHERE nodeno = 1";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    *error = sqlite3_errmsg(db);
    return 0;
  }
  Statement statement(raw);
  if (sqlite3_step(statement.get()) != SQLITE_ROW) {
    *error = "the R-tree " + table + " has no root node";
    return 0;
  }
  return static_cast<size_t>(sqlite3_column_int64(statement.get(), 0));
}

}  // namespace

std::string QuotedSqlName(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

RtreeBox RtreeBox::OfPoint(double x, double y) { return RtreeBox{Down(x), Up(x), Down(y), Up(y)}; }

void RtreeBox::Extend(const RtreeBox& other) {
  minX = std::min(minX, other.minX);
  maxX = std::max(maxX, other.maxX);
  minY = std::min(minY, other.minY);
  maxY = std::max(maxY, other.maxY);
}

void RtreePoints::Add(int64_t rowid, double x, double y) {
  const RtreeBox box = RtreeBox::OfPoint(x, y);
  ++count_;
  if (!runs_.empty()) {
    Run& last = runs_.back();
    if (last.firstRowid + last.length == rowid && std::memcmp(&last.box, &box, sizeof box) == 0) {
      ++last.length;
      return;
    }
  }
  runs_.push_back(Run{rowid, 1, box});
}

bool FillPackedRtree(sqlite3* db, const std::string& table, const RtreePoints& points, std::string* error) {
  if (points.count() == 0) return true;  // the module's empty root stays
  const size_t nodeBytes = NodeBytes(db, table, error);
  if (nodeBytes == 0) return false;
  const int64_t capacity = static_cast<int64_t>((nodeBytes - std::min(nodeBytes, kHeaderBytes)) / kCellBytes);
  if (capacity < 2) {
    *error = "the R-tree " + table + " has nodes too small to fill";
    return false;
  }
  // The nodes of each level, leaves first; the one node of the top level
  // is the root, number 1, the others numbered from 2 up, level by level.
  std::vector<int64_t> levelSizes = {(points.count() + capacity - 1) / capacity};
  while (levelSizes.back() > 1) levelSizes.push_back((levelSizes.back() + capacity - 1) / capacity);
  const size_t top = levelSizes.size() - 1;
  std::vector<int64_t> firstNode(levelSizes.size(), 1);
  for (size_t level = 0, next = 2; level < top; next += static_cast<size_t>(levelSizes[level]), ++level) {
    firstNode[level] = static_cast<int64_t>(next);
  }
  auto parentOf = [&](size_t level, int64_t index) { return firstNode[level + 1] + index / capacity; };

  ShadowWriter writer(db, table, error);
  if (!writer.ok()) return false;
  NodeBlob blob(nodeBytes);
  std::vector<RtreeBox> boxes;  // of the level just written, for the one above
  auto finish = [&](size_t level, const RtreeBox& box) {
    const int64_t index = static_cast<int64_t>(boxes.size());
    boxes.push_back(box);
    const int64_t number = firstNode[level] + index;
    return writer.Node(number, blob) && (level == top || writer.Parent(number, parentOf(level, index)));
  };

  // The leaves: runs of the row ids in order, `capacity` to a node.
  int64_t inLeaf = 0;
  RtreeBox leafBox{};
  const SpillArray<RtreePoints::Run>& runs = points.runs();
  for (size_t r = 0; r < runs.size(); ++r) {
    const RtreePoints::Run run = runs[r];
    for (int64_t i = 0; i < run.length; ++i) {
      if (inLeaf == 0) {
        blob.Start(0);  // a leaf: depth 0, root or not
        leafBox = run.box;
      }
      const int64_t rowid = run.firstRowid + i;
      blob.Add(rowid, run.box);
      leafBox.Extend(run.box);
      if (!writer.Rowid(rowid, firstNode[0] + static_cast<int64_t>(boxes.size()))) return false;
      if (++inLeaf == capacity) {
        if (!finish(0, leafBox)) return false;
        inLeaf = 0;
      }
    }
  }
  if (inLeaf > 0 && !finish(0, leafBox)) return false;
  if (points.failed()) {
    *error = std::string("cannot read the points back from a temporary file: ") + std::strerror(points.error());
    return false;
  }

  // Each level above: the nodes below it, `capacity` to a node.
  for (size_t level = 1; level <= top; ++level) {
    const std::vector<RtreeBox> children = std::move(boxes);
    boxes.clear();
    for (size_t begin = 0; begin < children.size(); begin += static_cast<size_t>(capacity)) {
      const size_t end = std::min(children.size(), begin + static_cast<size_t>(capacity));
      blob.Start(level == top ? static_cast<int>(top) : 0);
      RtreeBox box = children[begin];
      for (size_t child = begin; child < end; ++child) {
        blob.Add(firstNode[level - 1] + static_cast<int64_t>(child), children[child]);
        box.Extend(children[child]);
      }
      if (!finish(level, box)) return false;
    }
  }
  return true;
}

}  // namespace wendrake_cli
