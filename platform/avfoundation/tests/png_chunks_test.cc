// PNG pictures in a video stream reach FFmpeg's decoder without the chunks it would inflate
// without bound (text, compressed text, international text, colour profiles); the picture itself
// decodes as before, and a chunk list that does not walk costs only its own frame.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "platform/avfoundation/internal/bgra_converter.h"
#include "platform/avfoundation/internal/png_chunks.h"
#include "platform/avfoundation/internal/stream_decoder.h"
#include "platform/avfoundation/tests/media_recipes.h"

namespace {

namespace av = avfoundation::testing;
using avfoundation::internal::BGRAConverter;
using avfoundation::internal::StreamDecoder;
using avfoundation::internal::StreamKind;
using avfoundation::internal::withoutDroppedPngChunks;
using Bytes = std::vector<unsigned char>;

constexpr size_t kAfterHeader = 8 + 25;  // signature and IHDR

Bytes chunk(std::string_view type, const Bytes& data) {
  Bytes out;
  auto length = static_cast<uint32_t>(data.size());
  for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<unsigned char>(length >> shift));
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
  crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<unsigned char>(crc >> shift));
  return out;
}

Bytes deflated(size_t zeros) {
  Bytes plain(zeros, 0);
  Bytes out(compressBound(plain.size()));
  uLongf size = out.size();
  compress2(out.data(), &size, plain.data(), plain.size(), 9);
  out.resize(size);
  return out;
}

// keyword, NUL, then the chunk's own fields.
Bytes named(std::string_view keyword, const Bytes& rest) {
  Bytes out(keyword.begin(), keyword.end());
  out.push_back(0);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

Bytes plainPicture() {
  return av::fileBytes(av::madeMedia("chunks_plain.png", {"-f", "lavfi", "-i", "testsrc=size=64x64",
                                                          "-frames:v", "1", "-c:v", "png",
                                                          "-f", "image2"}));
}

// Three frames of the picture in Matroska, each with `extra` after its header.
std::string moviePlaying(const std::string& name, const Bytes& extra) {
  Bytes picture = plainPicture();
  picture.insert(picture.begin() + kAfterHeader, extra.begin(), extra.end());
  std::string still = av::writtenMedia(name + ".png", picture);
  return av::madeMedia(name + ".mkv", {"-loop", "1", "-framerate", "10", "-i", still, "-frames:v",
                                       "3", "-c:v", "copy", "-f", "matroska"});
}

struct Decoded {
  std::vector<size_t> digests;
  int withText = 0;
  int withProfile = 0;
  int64_t damaged = 0;
};

Decoded decodeAll(const std::string& path) {
  Decoded result;
  auto decoder = StreamDecoder::open(path, {StreamKind::kVideo, nullptr, 0});
  EXPECT_NE(decoder, nullptr) << path;
  if (!decoder) return result;
  BGRAConverter converter;
  while (auto frame = decoder->next()) {
    if (av_dict_count(frame->frame->metadata) > 0) ++result.withText;
    if (av_frame_get_side_data(frame->frame, AV_FRAME_DATA_ICC_PROFILE) != nullptr) {
      ++result.withProfile;
    }
    std::vector<uint8_t> pixels;
    EXPECT_TRUE(converter.convert(*frame->frame, &pixels));
    result.digests.push_back(std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(pixels.data()), pixels.size())));
  }
  result.damaged = decoder->damagedPackets();
  return result;
}

TEST(PngChunksTest, TextAndProfileChunksNeverReachTheDecoderAndThePictureStays) {
  Bytes compressedText = deflated(4096);
  Bytes extra = chunk("tEXt", named("Title", Bytes{'h', 'i'}));
  auto ztxt = chunk("zTXt", named("Comment", [&] {
                      Bytes method{0};
                      method.insert(method.end(), compressedText.begin(), compressedText.end());
                      return method;
                    }()));
  auto itxt = chunk("iTXt", named("Author", [&] {
                      Bytes fields{1, 0, 0, 0};  // compressed, deflate, no language, no title
                      fields.insert(fields.end(), compressedText.begin(), compressedText.end());
                      return fields;
                    }()));
  auto iccp = chunk("iCCP", named("profile", [&] {
                      Bytes method{0};
                      method.insert(method.end(), compressedText.begin(), compressedText.end());
                      return method;
                    }()));
  for (const Bytes* more : {&ztxt, &itxt, &iccp}) extra.insert(extra.end(), more->begin(), more->end());

  Decoded plain = decodeAll(moviePlaying("chunks_none", {}));
  Decoded dressed = decodeAll(moviePlaying("chunks_text_profile", extra));
  ASSERT_EQ(plain.digests.size(), 3u);
  EXPECT_EQ(dressed.digests, plain.digests);
  EXPECT_EQ(dressed.withText, 0);
  EXPECT_EQ(dressed.withProfile, 0);
  EXPECT_EQ(dressed.damaged, 0);
}

TEST(PngChunksTest, AChunkListThatDoesNotWalkIsNoPicture) {
  Bytes good = plainPicture();
  // A length past the end of the picture, a type that is not four letters, a last chunk cut.
  Bytes overlong = good;
  overlong.insert(overlong.begin() + kAfterHeader, {0x00, 0x10, 0x00, 0x00, 't', 'E', 'X', 't'});
  Bytes badType = good;
  Bytes junk = chunk("tE\1t", Bytes{1, 2, 3});
  badType.insert(badType.begin() + kAfterHeader, junk.begin(), junk.end());
  Bytes cut(good.begin(), good.end() - 5);
  bool malformed = false;
  for (const Bytes* bytes : {&overlong, &badType, &cut}) {
    withoutDroppedPngChunks(*bytes, &malformed);
    EXPECT_TRUE(malformed);
  }
  // A frame of such a picture is damaged; the stream decodes none of it and ends.
  Bytes movie = av::fileBytes(moviePlaying("chunks_plain_movie", {}));
  for (size_t at = 4; at + 4 <= movie.size(); ++at) {
    if (std::string_view(reinterpret_cast<const char*>(&movie[at]), 4) == "IDAT") movie[at - 4] = 0x7f;
  }
  Decoded decoded = decodeAll(av::writtenMedia("chunks_overlong.mkv", movie));
  EXPECT_TRUE(decoded.digests.empty());
  EXPECT_GT(decoded.damaged, 0);

  // Kept whole: a signature-less list (an animation's frame), a picture with nothing to drop.
  Bytes animated = chunk("fcTL", Bytes(26, 0));
  Bytes data = chunk("fdAT", Bytes{0, 0, 0, 1});
  animated.insert(animated.end(), data.begin(), data.end());
  EXPECT_FALSE(withoutDroppedPngChunks(animated, &malformed).has_value());
  EXPECT_FALSE(malformed);
  EXPECT_FALSE(withoutDroppedPngChunks(good, &malformed).has_value());
  EXPECT_FALSE(malformed);
  // What trails the picture's end is not read.
  Bytes trailing = good;
  trailing.insert(trailing.end(), {'j', 'u', 'n', 'k'});
  auto kept = withoutDroppedPngChunks(trailing, &malformed);
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(*kept, good);
}

TEST(PngChunksTest, PalettePicturesShowInEveryContainer) {
  // Matroska and AVI describe such a stream with a bitmap header whose palette becomes the
  // stream's extra data: no chunk list, and nothing the still-picture decoder reads.
  for (const char* format : {"pal8", "monob", "gray"}) {
    SCOPED_TRACE(format);
    auto made = [&](const std::string& container) {
      return av::madeMedia(std::string("palette_") + format + "." + container,
                           {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=5:duration=0.6",
                            "-c:v", "png", "-pix_fmt", format});
    };
    Decoded reference = decodeAll(made("mov"));
    ASSERT_EQ(reference.digests.size(), 3u);
    for (const char* container : {"mkv", "avi"}) {
      SCOPED_TRACE(container);
      Decoded decoded = decodeAll(made(container));
      EXPECT_EQ(decoded.digests, reference.digests);
      EXPECT_EQ(decoded.damaged, 0);
    }
  }
}

}  // namespace
