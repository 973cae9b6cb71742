/* Forced in front of the tablebase prober's C source by the build (CMakeLists.txt), so that its
 * files stay as they ship; its settings go here rather than in its own configuration header. */
#ifndef TOLVO_PROBER_BUILD_H
#define TOLVO_PROBER_BUILD_H

/* The compiler's population count: the popcnt instruction wherever our own code uses it (the
 * prober's own test for the instruction looks for SSE4.2, which we do not ask for). */
#define TB_CUSTOM_POP_COUNT(x) ((unsigned)__builtin_popcountll(x))

/* Standard output carries the protocol: the prober's one print there (a notice about a table
 * file of a wrong length, which our own checks already keep from it) goes to standard error
 * instead. <stdio.h> is read first, so that the macro rewrites the prober's calls and not the
 * library's declarations. */
#include <stdio.h>
#define printf(...) fprintf(stderr, __VA_ARGS__)

/* Its unmapping reports an error when the call succeeds (the test is the wrong way round), so a
 * GUI's log would fill with false errors on every new path; its other calls of perror come
 * with a report of their own. */
#define perror(text) ((void)(text))

#endif
