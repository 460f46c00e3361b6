// Options the web view's script engine is built with, on top of Debian's configuration.
//
// Errors travel as C++ exceptions, so that native functions called by scripts may hold objects
// with destructors. (The fatal handler does not throw: it ends the page's content process.)
// The interrupt counter lets a page end a script that runs past its time budget. The native
// recursion limit is restated here because the stack scripts run on is sized for it.
#pragma once

#define DUK_USE_CPP_EXCEPTIONS
#define DUK_USE_INTERRUPT_COUNTER
#define DUK_USE_EXEC_TIMEOUT_CHECK(heap_udata) webkit_script_timed_out(heap_udata)
#undef DUK_USE_NATIVE_CALL_RECLIMIT
#define DUK_USE_NATIVE_CALL_RECLIMIT 1000

// Answers nonzero from the moment the running script's budget is spent until the script is left.
// `heap_udata` is the user data the heap was created with.
int webkit_script_timed_out(void* heap_udata);
