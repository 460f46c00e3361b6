// Test controls for what backs new assets. Linking the controls makes the model the backing, so
// that tests drive the media by hand; a test that plays real files asks for the library, and
// gives the model back when done.
#pragma once

namespace avfoundation::testing {

void useMediaModel();
void useMediaLibrary();

}  // namespace avfoundation::testing
