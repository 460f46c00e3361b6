#include "platform/avfoundation/internal/ffmpeg_settings.h"

#include <algorithm>

#include <mutex>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/dict.h>
#include <libavutil/opt.h>
}

#include "platform/avfoundation/internal/media_file.h"

namespace avfoundation::internal {
namespace {

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

// Containers and raw streams whose demuxers read only the bytes of the file they are given. Left
// out on purpose: dash, hls, webm_dash_manifest (manifests), sdp, rtp, rtsp (sessions), concat,
// ffmetadata, image2 (file patterns), lavfi (filter graphs that open files), mxf and every device.
const char* const kAllowedDemuxers =
    "mov,matroska,avi,flv,asf,mpegts,mpeg,mpegvideo,ogg,nut,mp3,aac,loas,ac3,eac3,dts,truehd,mlp,"
    "flac,wav,w64,aiff,caf,au,amr,wv,ape,tta,h264,hevc,m4v,ivf,obu,yuv4mpegpipe";

// Each name as FFmpeg's decoders are named; where FFmpeg has several for a format (mp3 and
// mp3float, vp9 and libvpx-vp9), all of them, as the one it picks depends on how it was built.
const char* const kAllowedDecoders =
    // motion pictures
    "h264,hevc,mpeg4,mpeg1video,mpeg2video,h263,h263p,flv,vp6f,vp6a,vp8,libvpx,vp9,libvpx-vp9,"
    "libdav1d,libaom-av1,av1,theora,vp3,mjpeg,png,apng,rawvideo,prores,dnxhd,msmpeg4v1,"
    "msmpeg4v2,msmpeg4,wmv1,wmv2,wmv3,vc1,"
    // capture, editing and archiving
    "ffv1,huffyuv,ffvhuff,utvideo,qtrle,dvvideo,cinepak,svq1,svq3,mjpegb,h261,"
    // sound
    "aac,aac_fixed,aac_latm,ac3,ac3_fixed,eac3,dca,truehd,mlp,mp1,mp1float,mp2,mp2float,mp3,"
    "mp3float,flac,alac,vorbis,libvorbis,opus,libopus,wavpack,ape,tta,amrnb,amrwb,wmav1,wmav2,"
    "wmapro,adpcm_ima_wav,adpcm_ima_qt,adpcm_ms,pcm_alaw,pcm_mulaw,pcm_u8,pcm_s8,pcm_s16le,"
    "pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_s32be,pcm_f32le,pcm_f32be,pcm_f64le,pcm_f64be,"
    "pcm_s16le_planar,pcm_dvd,pcm_bluray";

bool isDecoderAllowed(const AVCodec& codec) {
  return codec.name != nullptr && av_match_list(codec.name, kAllowedDecoders, ',') > 0;
}

void restrictDecoder(AVCodecContext& context) {
  context.max_pixels = kMaxPicturePixels;
  av_opt_set(&context, "codec_whitelist", kAllowedDecoders, 0);
}

void applyLibraryWideSettings() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

void restrictFormatContext(AVFormatContext& format) {
  format.io_open = &refuseNestedOpen;
  // Nested contexts a demuxer makes copy these lists from their parent.
  av_opt_set(&format, "format_whitelist", kAllowedDemuxers, 0);
  // The probe hands this to every decoder it opens, for streams it meets late too.
  av_opt_set(&format, "codec_whitelist", kAllowedDecoders, 0);
  av_opt_set(&format, "protocol_whitelist", "none", 0);
}

AVDictionary* openOptions() {
  AVDictionary* options = nullptr;
  // QuickTime data references name other files: never followed (already FFmpeg's default).
  av_dict_set(&options, "enable_drefs", "0", 0);
  // Chosen here rather than left to FFmpeg, whose defaults differ by container.
  av_dict_set_int(&options, "probesize", kProbeBytes, 0);
  av_dict_set_int(&options, "analyzeduration", kProbeAnalyzeMicroseconds, 0);
  av_dict_set_int(&options, "fpsprobesize", kProbeRateFrames, 0);
  // One stream past the cap may be made, to be seen and refused (withinStreamCap): a demuxer
  // asked for more fails the open, or (MPEG-TS) drops them.
  av_dict_set_int(&options, "max_streams", kMaxMediaStreams + 1, 0);
  return options;
}

StreamProbeOptions::StreamProbeOptions(unsigned streams) : options_(streams, nullptr) {
  for (AVDictionary*& stream : options_) {
    av_dict_set_int(&stream, "max_pixels", kMaxPicturePixels, 0);
    av_dict_set(&stream, "threads", "1", 0);
  }
}

void StreamProbeOptions::limitPixels(unsigned stream, int64_t pixels) {
  if (stream >= options_.size()) return;
  av_dict_set_int(&options_[stream], "max_pixels", std::clamp<int64_t>(pixels, 1, kMaxPicturePixels),
                  0);
}

StreamProbeOptions::~StreamProbeOptions() {
  for (AVDictionary*& stream : options_) av_dict_free(&stream);
}

bool announceEveryStream(AVFormatContext& format) {
  if ((format.ctx_flags & AVFMTCTX_NOHEADER) == 0) return true;
  AVPacket* packet = av_packet_alloc();
  if (packet == nullptr) return false;
  // The probe stops once it has read this many bytes of packets: any stream it could meet is met.
  int64_t read = 0;
  while (read < kProbeBytes && av_read_frame(&format, packet) >= 0) {
    read += packet->size;
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  // A byte seek to 0 lands where the demuxer's packets start, with its parsers flushed.
  return av_seek_frame(&format, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
}

bool withinStreamCap(AVFormatContext& format) {
  format.max_streams = kMaxMediaStreams;
  return format.nb_streams <= static_cast<unsigned>(kMaxMediaStreams);
}

NoNewStreams::NoNewStreams(AVFormatContext& format)
    : format_(format), allowed_(format.max_streams) {
  format_.max_streams = static_cast<int>(format_.nb_streams);
}

NoNewStreams::~NoNewStreams() { format_.max_streams = allowed_; }

int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
  return AVERROR(EPERM);
}

ProbeDeadline::ProbeDeadline()
    : cpu_start_(threadCpuSeconds()),
      wall_end_(std::chrono::steady_clock::now() + kProbeWallBudget) {}

bool ProbeDeadline::passed() const {
  return threadCpuSeconds() - cpu_start_ >
             std::chrono::duration<double>(kProbeCpuBudget).count() ||
         std::chrono::steady_clock::now() > wall_end_;
}

}  // namespace avfoundation::internal
