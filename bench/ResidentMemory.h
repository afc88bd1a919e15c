#pragma once

// The resident memory of a process, as the memory figures of the X11
// measurements report it.

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace bench {

// Kilobytes: in all, the process's own (heap, stacks), and pages of mapped
// files, most of them shared libraries' code.
struct Resident {
  long total = -1;
  long own = -1;
  long files = -1;
  // Proportional: shared pages divided among the processes that map them.
  long proportional = -1;
};

// One field of this process's status in kilobytes, such as "VmRSS:" or
// the peak "VmHWM:"; -1 when it cannot be read.
inline long statusKilobytes(std::string_view field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field)) {
      return std::stol(line.substr(field.size()));
    }
  }
  return -1;
}

// process is a process id, or "self".
inline Resident residentMemory(const std::string& process) {
  std::ifstream status("/proc/" + process + "/status");
  std::string line;
  Resident resident;
  const auto field = [&line](std::string_view name, long& value) {
    if (line.rfind(name, 0) == 0) {
      value = std::stol(line.substr(name.size()));
    }
  };
  while (std::getline(status, line)) {
    field("VmRSS:", resident.total);
    field("RssAnon:", resident.own);
    field("RssFile:", resident.files);
  }
  std::ifstream rollup("/proc/" + process + "/smaps_rollup");
  while (std::getline(rollup, line)) {
    field("Pss:", resident.proportional);
  }
  return resident;
}

inline std::string megabytes(long kilobytes) {
  std::ostringstream text;
  text.precision(1);
  text << std::fixed << static_cast<double>(kilobytes) / 1024.0 << " MB";
  return text.str();
}

inline std::string describe(const Resident& resident) {
  return megabytes(resident.total) + " (own " + megabytes(resident.own) + ", from files " +
         megabytes(resident.files) + ", proportional " + megabytes(resident.proportional) + ")";
}

} // namespace bench
