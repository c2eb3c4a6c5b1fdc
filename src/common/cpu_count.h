#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// The CPUs this process may run on, ascending: those of its affinity mask (taskset, a batch
/// system's binding, mpirun's), or every online CPU when the mask cannot be read.
std::vector<int32_t> affinity_cpus();

/// The CPU time per second of wall time that the cgroup CPU quota of this process allows, in
/// CPUs (1.5 for 150 ms per 100 ms): the lowest quota set on its cgroup or any of the cgroup's
/// parents, in cgroup v2 (cpu.max) or v1 (cpu.cfs_quota_us over cpu.cfs_period_us). 0 when no
/// quota is set or none can be read.
double cgroup_cpu_quota();

/// The same from the texts of /proc/self/cgroup and /proc/self/mountinfo, the cgroup folders
/// being looked up under `file_system_root` ("" for the real ones).
double cgroup_cpu_quota(const std::string& process_cgroups, const std::string& mount_info,
                        const std::string& file_system_root);

/// The CPUs that the content of a cgroup v2 cpu.max file allows ("QUOTA PERIOD" in µs); 0 for
/// "max PERIOD" (no quota) and for anything unreadable.
double cpu_max_quota(const std::string& text);

/// The CPUs this process can use: those of its affinity mask, no more than its cgroup CPU quota
/// where one is set. Fractional only through a quota.
double usable_cpus();
