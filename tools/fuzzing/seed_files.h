// Small well-formed inputs that the fuzzers start from: documents, media and property lists of
// the kinds the host reads, made in code or taken from the project's test data.
#pragma once

#include <string>
#include <vector>

namespace fuzzing {

struct SeedFile {
  std::string name;
  std::string bytes;
};

// One- and two-page PDFs: filled and stroked paths, curves, clips, transparency, rotation and
// crop boxes, text without a font, a compressed content stream, and the encrypted test fixtures.
std::vector<SeedFile> pdfSeeds();
// The media clip of the video player's tests.
std::vector<SeedFile> mediaSeeds();
// XML and binary property lists of every value type, nested.
std::vector<SeedFile> propertyListSeeds();

}  // namespace fuzzing
