// Owners of the FFmpeg objects the media decoders hold, freed with FFmpeg's own functions. Names
// the types only, so that code beside the platform's own media types (FFmpeg's headers declare
// some of the same names) can hold them.
#pragma once

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace avfoundation::internal {

struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const;
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const;
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const;
};
struct ScalerDeleter {
  void operator()(SwsContext* scaler) const;
};

}  // namespace avfoundation::internal
