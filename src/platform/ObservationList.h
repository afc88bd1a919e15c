// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Observation.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace quillon {

// An observation kept as an entry of the list its owner calls back from;
// ending it takes the entry out. Owners call back a copy of the list, so a
// callback may end observations safely.
template <typename Entry> class ObservationListEntry final : public Observation::Token {
public:
  ObservationListEntry(std::vector<std::shared_ptr<Entry>>& list, std::shared_ptr<Entry> entry)
      : list_(list), entry_(std::move(entry)) {}
  void cancel() override { std::erase(list_, entry_); }

private:
  std::vector<std::shared_ptr<Entry>>& list_;
  std::shared_ptr<Entry> entry_;
};

template <typename Entry>
Observation observeAsListEntry(std::vector<std::shared_ptr<Entry>>& list,
                               std::shared_ptr<Entry> entry) {
  list.push_back(entry);
  return Observation(std::make_unique<ObservationListEntry<Entry>>(list, std::move(entry)));
}

} // namespace quillon
