#pragma once

#include <string>

/// Every rank calls this at once: rank 0 reads the file at `path` whole, and every rank gets
/// its text. False on every rank when rank 0 could not read it.
bool read_on_rank_zero(const std::string& path, std::string& text);

/// The smallest of the ranks' memory limits, on every rank; every rank calls this at once.
int64_t smallest_over_ranks(int64_t bytes);

/// Makes an end of this rank through exit() before end_shared_run end the whole job: a rank
/// that fails, alone or with the others, takes the others with it rather than leave them
/// waiting. Call once, after MPI is initialised.
void abort_job_on_exit();

/// The rank's part is over: leaves MPI, after which exit() is no longer a failure.
void end_shared_run();
