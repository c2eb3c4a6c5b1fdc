#pragma once

class SolveMaster;

/// Makes a rank that ends through exit() before its part of the run is over take the others
/// with it: rank 0 (`master` set) ends every worker with exit status 1; a worker (`master`
/// null), whose only way to fail is running out of memory, tells rank 0 so and waits to be
/// ended. Either then leaves MPI. Call once, after MPI is initialised.
void end_run_on_exit(SolveMaster* master);

/// The rank's part is over and it has left MPI itself: exit() is then no longer a failure.
void forget_run_ending();
