// How many processors this process may run on.
#pragma once

// The processors of this process's CPU affinity (else those online), at least 1.
int ProcessorCount();
