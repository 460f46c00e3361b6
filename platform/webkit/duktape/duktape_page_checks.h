// What the page's engine tells about its values beyond its public API.
#pragma once

#include <duktape.h>

// Whether the value at `index` is a Proxy. Nothing else does tell: a proxy answers as an
// ordinary object (or, around an array, as an array) to every call of the API, and reading it
// through its traps would run the page's code.
bool webkit_is_proxy(duk_context* context, duk_idx_t index);
