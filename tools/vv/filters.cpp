#include "filters.h"

#include "encoder.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

namespace vv {
namespace {

// The source's arguments for frames of this shape; empty when it cannot name them.
std::string SourceArguments(AVMediaType type, AVRational timeBase, const Shape& shape) {
    if (type == AVMEDIA_TYPE_VIDEO) {
        return "video_size=" + std::to_string(shape.width) + "x" + std::to_string(shape.height) +
               ":pix_fmt=" + std::to_string(shape.format) + ":time_base=" + RatioText(timeBase) +
               ":pixel_aspect=" + RatioText(shape.sar);
    }
    const char* format = av_get_sample_fmt_name(static_cast<AVSampleFormat>(shape.format));
    if (format == nullptr) return {};
    return "time_base=" + RatioText(timeBase) + ":sample_rate=" + std::to_string(shape.sampleRate) +
           ":sample_fmt=" + format + ":channel_layout=" + shape.layout;
}

// Joins source and sink through the chain.
int Link(AVFilterGraph* graph, AVFilterContext* source, AVFilterContext* sink, const std::string& chain) {
    FilterInOutPtr outputs(avfilter_inout_alloc()), inputs(avfilter_inout_alloc());
    if (!outputs || !inputs) throw VvError("out of memory");
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    AVFilterInOut* in = inputs.release();
    AVFilterInOut* out = outputs.release();
    const int ret = avfilter_graph_parse_ptr(graph, chain.c_str(), &in, &out, nullptr);
    avfilter_inout_free(&in);
    avfilter_inout_free(&out);
    return ret;
}

}  // namespace

bool Filters::Build(AVMediaType type, AVRational timeBase, const Shape& shape, const std::string& chain, int frameSize,
                    std::string& error) {
    graph_.reset();
    source_ = sink_ = nullptr;
    shape_ = shape;
    if (!shape.Usable(type)) return false;
    const std::string args = SourceArguments(type, timeBase, shape);
    if (args.empty()) return false;
    const bool video = type == AVMEDIA_TYPE_VIDEO;
    FilterGraphPtr graph(avfilter_graph_alloc());
    if (!graph) throw VvError("out of memory");
    graph->nb_threads = SpareCores();  // slices scaled on threads come out as scaled on one
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    ClearLibraryMessage(LibraryPart::kFilter, type);
    int ret = avfilter_graph_create_filter(&source, avfilter_get_by_name(video ? "buffer" : "abuffer"), "in",
                                           args.c_str(), nullptr, graph.get());
    if (ret >= 0)
        ret = avfilter_graph_create_filter(&sink, avfilter_get_by_name(video ? "buffersink" : "abuffersink"), "out",
                                           nullptr, nullptr, graph.get());
    if (ret >= 0) ret = Link(graph.get(), source, sink, chain);
    if (ret >= 0) ret = avfilter_graph_config(graph.get(), nullptr);
    if (ret < 0) {
        error = "cannot set up the filters: " + LibraryReason(LibraryPart::kFilter, ret, type);
        return false;
    }
    if (frameSize > 0) av_buffersink_set_frame_size(sink, static_cast<unsigned>(frameSize));
    graph_ = std::move(graph);
    source_ = source;
    sink_ = sink;
    return true;
}

bool Filters::Add(AVFrame* frame) { return av_buffersrc_add_frame_flags(source_, frame, 0) >= 0; }

void Filters::Close(std::int64_t pts) { av_buffersrc_close(source_, pts, AV_BUFFERSRC_FLAG_PUSH); }

FramePtr Filters::Next() {
    FramePtr filtered = MakeFrame();
    if (!filtered) throw VvError("out of memory");
    // EAGAIN, the end, or a frame the filters could not make.
    if (av_buffersink_get_frame(sink_, filtered.get()) < 0) return nullptr;
    return filtered;
}

}  // namespace vv
