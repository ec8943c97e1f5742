#pragma once

// Processor time of one large body from a local nginx: our client (connect included) against the
// curl command on the same file. Prints both and their ratio; returns 0, or 1 when it could not
// run (nginx or curl missing, a fetch failed or brought the wrong bytes).
int RunNginxBodyBench(int runs);
