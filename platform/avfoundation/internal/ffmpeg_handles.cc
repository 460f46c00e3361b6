#include "platform/avfoundation/internal/ffmpeg_handles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace avfoundation::internal {

void CodecContextDeleter::operator()(AVCodecContext* context) const {
  avcodec_free_context(&context);
}
void PacketDeleter::operator()(AVPacket* packet) const { av_packet_free(&packet); }
void FrameDeleter::operator()(AVFrame* frame) const { av_frame_free(&frame); }
void ScalerDeleter::operator()(SwsContext* scaler) const { sws_freeContext(scaler); }

}  // namespace avfoundation::internal
