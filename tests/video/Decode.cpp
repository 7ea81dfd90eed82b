#include "Decode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <stdexcept>

namespace qv::test {

TDecodedVideo DecodeVideo(const std::string& file) {
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, file.c_str(), nullptr, nullptr) < 0) throw std::runtime_error("cannot open " + file);
  std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> fmtGuard(&fmt, avformat_close_input);
  if (avformat_find_stream_info(fmt, nullptr) < 0) throw std::runtime_error("no stream info in " + file);
  const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) throw std::runtime_error("no video in " + file);
  const AVCodecParameters* par = fmt->streams[index]->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
  if (decoder == nullptr) throw std::runtime_error("no decoder for " + file);
  AVCodecContext* ctx = avcodec_alloc_context3(decoder);
  std::unique_ptr<AVCodecContext*, void (*)(AVCodecContext**)> ctxGuard(&ctx, avcodec_free_context);
  avcodec_parameters_to_context(ctx, par);
  ctx->thread_count = 1;
  if (avcodec_open2(ctx, decoder, nullptr) < 0) throw std::runtime_error("cannot open the decoder");

  TDecodedVideo out;
  out.width = par->width;
  out.height = par->height;
  out.codec = decoder->name;
  if (const char* cs = av_color_space_name(par->color_space)) out.colourSpace = cs;
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  SwsContext* sws = nullptr;
  auto take = [&]() {
    while (avcodec_receive_frame(ctx, frame) == 0) {
      if (sws == nullptr) {
        out.pixelFormat = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame->format));
        out.interlaced = frame->interlaced_frame != 0;
        out.topFieldFirst = frame->top_field_first != 0;
        sws = sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
                             frame->height, AV_PIX_FMT_BGRA,
                             SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP, nullptr, nullptr,
                             nullptr);
        const int cs = frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_ITU601;
        const int* k = sws_getCoefficients(cs);
        sws_setColorspaceDetails(sws, k, frame->color_range == AVCOL_RANGE_JPEG, k, 1, 0, 1 << 16, 1 << 16);
      }
      std::vector<std::uint8_t> bgra(std::size_t(frame->width) * frame->height * 4);
      std::uint8_t* dst[1] = {bgra.data()};
      const int stride[1] = {frame->width * 4};
      sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
      out.frames.push_back(std::move(bgra));
    }
  };
  while (av_read_frame(fmt, packet) >= 0) {
    if (packet->stream_index == index) {
      avcodec_send_packet(ctx, packet);
      take();
    }
    av_packet_unref(packet);
  }
  avcodec_send_packet(ctx, nullptr);
  take();
  sws_freeContext(sws);
  av_packet_free(&packet);
  av_frame_free(&frame);
  return out;
}

}  // namespace qv::test
