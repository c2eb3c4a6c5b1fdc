#pragma once

/// Makes every end of the process leave the working folder and the terminal clean: at exit, and
/// on SIGINT or SIGTERM, the temporary result file is removed and a drawn progress line erased.
/// A signal then ends the process as it would have without the handler; a signal that was
/// ignored at start stays ignored.
void clean_up_at_termination();
