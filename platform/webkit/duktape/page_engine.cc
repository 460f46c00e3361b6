// The page's engine: duktape's own source, and the one look at its objects that its API lacks.
#include "duktape.cc"  // copied from duktape-dev's source into the build folder

#include "duktape_page_checks.h"

bool webkit_is_proxy(duk_context* context, duk_idx_t index) {
  duk_hobject* object = duk_get_hobject(context, index);
  return object != nullptr && DUK_HOBJECT_IS_PROXY(object);
}
