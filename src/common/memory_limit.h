#pragma once

#include <cstdint>

/// The soft address-space limit a run sets for itself: the current soft limit, lowered to
/// `physical_bytes` when that is smaller (an unlimited current limit is larger than anything).
/// A limit is never raised; `physical_bytes` 0 means unknown and changes nothing.
uint64_t lowered_address_space_limit(uint64_t current_soft_limit, uint64_t physical_bytes);

/// Lowers the process's soft RLIMIT_AS to the machine's physical memory, divided among the
/// `sharing_processes` that run on it, so that a structure too large for the machine fails an
/// allocation and ends with "Not enough memory!!" instead of being killed by the kernel's
/// out-of-memory killer. Does nothing in sanitizer builds, whose shadow memory takes far more
/// address space than that.
void limit_address_space_to_physical_memory(int32_t sharing_processes = 1);

/// The machine's physical memory in bytes; 0 when it cannot be told.
uint64_t physical_memory_bytes();

/// The memory this process may take: the machine's physical memory, or its soft address-space
/// limit where that is lower; 0 when neither can be told.
uint64_t usable_memory_bytes();
