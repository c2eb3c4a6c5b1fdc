#include "common/cpu_count.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string read_text(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

/// A positive decimal number that is the whole of `word`, or 0.
double positive_number(const std::string& word) {
  if (word.empty()) return 0.0;
  char* end = nullptr;
  const double value = std::strtod(word.c_str(), &end);
  return *end == '\0' && value > 0.0 ? value : 0.0;
}

/// The quota that `folder` sets itself: v2 or v1 files; 0 for none.
double folder_quota(const std::string& folder, bool version_2) {
  if (version_2) return cpu_max_quota(read_text(folder + "/cpu.max"));
  // v1 keeps the two words of cpu.max in files of their own; its -1 is v2's "max".
  return cpu_max_quota(read_text(folder + "/cpu.cfs_quota_us") + " " +
                       read_text(folder + "/cpu.cfs_period_us"));
}

/// The lower of two quotas, 0 standing for none.
double lower_quota(double a, double b) {
  if (a <= 0.0) return b;
  if (b <= 0.0) return a;
  return std::min(a, b);
}

/// Whether the comma-separated `list` holds `item`.
bool lists(const std::string& list, const std::string& item) {
  std::istringstream items(list);
  for (std::string word; std::getline(items, word, ',');) {
    if (word == item) return true;
  }
  return false;
}

/// The path of this process's cgroup in the v2 hierarchy (`version_2`) or in the v1 hierarchy
/// that has the cpu controller; false when it has none.
bool process_cgroup_path(const std::string& process_cgroups, bool version_2, std::string& path) {
  std::istringstream lines(process_cgroups);
  for (std::string line; std::getline(lines, line);) {
    // "hierarchy:controllers:path"
    const std::size_t first = line.find(':');
    const std::size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const bool wanted = version_2 ? line.compare(0, first, "0") == 0 && controllers.empty()
                                  : lists(controllers, "cpu");
    if (wanted) {
      path = line.substr(second + 1);
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<int32_t> affinity_cpus() {
  std::vector<int32_t> cpus;
  // The mask must be as large as the kernel's (EINVAL when it is not); grow it until it is.
  for (int32_t size = 1024; size <= (1 << 20); size *= 2) {
    cpu_set_t* mask = CPU_ALLOC(size);
    if (mask == nullptr) break;
    const std::size_t bytes = CPU_ALLOC_SIZE(size);
    const bool read = sched_getaffinity(0, bytes, mask) == 0;
    const bool too_small = !read && errno == EINVAL;
    for (int32_t cpu = 0; read && cpu < size; ++cpu) {
      if (CPU_ISSET_S(cpu, bytes, mask)) cpus.push_back(cpu);
    }
    CPU_FREE(mask);
    if (!too_small) break;
  }
  if (cpus.empty()) {
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    for (int32_t cpu = 0; cpu < std::max(online, 1L); ++cpu) cpus.push_back(cpu);
  }
  return cpus;
}

double cpu_max_quota(const std::string& text) {
  std::istringstream words(text);
  std::string quota, period;
  words >> quota >> period;
  const double microseconds = positive_number(quota);  // "max": no quota
  const double per = positive_number(period);
  return microseconds > 0.0 && per > 0.0 ? microseconds / per : 0.0;
}

double cgroup_cpu_quota(const std::string& process_cgroups, const std::string& mount_info,
                        const std::string& file_system_root) {
  double quota = 0.0;
  std::istringstream lines(mount_info);
  for (std::string line; std::getline(lines, line);) {
    // "ID PARENT MAJOR:MINOR ROOT MOUNT_POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER_OPTIONS"
    std::istringstream fields(line);
    std::string id, parent, device, root, mount_point, word;
    fields >> id >> parent >> device >> root >> mount_point;
    while (fields >> word && word != "-") {
    }
    std::string type, source, super_options;
    fields >> type >> source >> super_options;
    const bool version_2 = type == "cgroup2";
    if (!version_2 && !(type == "cgroup" && lists(super_options, "cpu"))) continue;
    std::string path;
    if (!process_cgroup_path(process_cgroups, version_2, path)) continue;
    // The mount shows the hierarchy from `root` down; a cgroup outside it is not visible here.
    if (root != "/") {
      if (path.compare(0, root.size(), root) != 0) continue;
      path.erase(0, root.size());
    }
    // From the process's own cgroup up to the mount point: a parent's quota binds its children.
    const std::string top = file_system_root + mount_point;
    for (std::string folder = top + (path == "/" ? "" : path);;) {
      quota = lower_quota(quota, folder_quota(folder, version_2));
      if (folder.size() <= top.size()) break;
      folder.erase(folder.rfind('/'));
    }
  }
  return quota;
}

double cgroup_cpu_quota() {
  return cgroup_cpu_quota(read_text("/proc/self/cgroup"), read_text("/proc/self/mountinfo"), "");
}

double usable_cpus() {
  const double cpus = static_cast<double>(affinity_cpus().size());
  return lower_quota(cpus, cgroup_cpu_quota());
}
