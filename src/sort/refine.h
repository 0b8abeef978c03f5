// Ordering records level by level: each run of records whose caches tie is
// given the next bytes that can tell its lines apart, sorted by them, and
// split into smaller runs, until every run is one line or lines that comp
// finds equal.
#pragma once

#include <atomic>
#include <cstddef>

#include "sort/sort_prefix.h"
#include "sort/sort_record.h"

namespace qorla {

struct Engine {
  SortRecord* records = nullptr;
  std::size_t n = 0;
  SortRecord* buffer = nullptr;  // shared by the workers, a share each
  std::size_t buffer_capacity = 0;
  int workers = 1;
  // Runs of more records than this are refined on every core at once;
  // smaller ones are shared out among the workers.
  std::size_t big = 0;
  // A numeric key that failed was met in a prefix or consulted by a
  // comparison.
  std::atomic<bool> failed_number{false};
};

// Orders records [0, n) of the engine, whose caches are not yet set, from
// level on.
void refine_all(Engine& engine, Level level);

}  // namespace qorla
