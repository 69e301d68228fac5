#include "cmatte_element.h"

#include <gst/video/gstvideoaggregator.h>
#include <gst/video/video.h>

#include <memory>

#include "cmatte/ColorMatting.h"
#include "cmatte_settings.h"
#include "element_common.h"
#include "packed_frame.h"

GST_DEBUG_CATEGORY_STATIC(cmatte_debug);
#define GST_CAT_DEFAULT cmatte_debug

namespace {

// What the properties ask for; guarded by the object lock.
struct Settings {
    gstvideo::KeyerSettings keyer;
    unsigned changed = gstvideo::kKeyerChanged;
    bool calibrate = false;
    float calibratedSimilar = -1.0f;
    guint64 stagedFrames = 0;
};

// What the aggregating thread owns.
struct Streaming {
    std::unique_ptr<ColorMatting> keyer;
    gstvideo::KeyerSettings applied;
    gstvideo::PackedFrame camera, background, out;
};

}  // namespace

struct GstCmatte {
    GstVideoAggregator parent;
    GstVideoAggregatorPad* camera;
    GstVideoAggregatorPad* background;
    Settings* settings;
    Streaming* streaming;
};

struct GstCmatteClass {
    GstVideoAggregatorClass parent_class;
};

G_DEFINE_TYPE(GstCmatte, gst_cmatte, GST_TYPE_VIDEO_AGGREGATOR)

namespace {

enum {
    PROP_0,
    PROP_KEY,
    PROP_VERSION,
    PROP_COFF,
    PROP_SIMILAR,
    PROP_CALIBRATE,
    PROP_CALIBRATED_SIMILAR,
    PROP_REFINE,
    PROP_DETAIL_KEEP,
    PROP_UNMIX,
    PROP_SPILL,
    PROP_SPILL_RANGE,
    PROP_LEVELS,
    PROP_GARBAGE,
    PROP_HOLDOUT,
    PROP_GPU_PRIORITY,
    PROP_STAGED_FRAMES,
};

GType key_type() {
    static GType type = 0;
    static const GEnumValue values[] = {
        {gstvideo::kGreen, "Studio chroma-key green", "green"},
        {gstvideo::kBlue, "Chroma-key blue", "blue"},
        {gstvideo::kDigitalGreen, "Bright digital green (RGB 0,255,0)", "digital-green"},
        {0, nullptr, nullptr}};
    if (g_once_init_enter(&type))
        g_once_init_leave(&type, g_enum_register_static("GstCmatteKey", values));
    return type;
}

GstCmatte* self_of(gpointer object) { return reinterpret_cast<GstCmatte*>(object); }

// A text property in the tool's notation: a text that does not parse is
// refused and the value stays. Like GLib's refusal of a number out of range,
// it is printed, since before the element is in a pipeline no bus hears it;
// an application hears it on the bus too.
void set_text(GstCmatte* self, const char* name, const GValue* value, bool parsed) {
    if (parsed) return;
    const char* text = g_value_get_string(value);
    g_warning("%s: %s: \"%s\" does not parse; the value stays", GST_OBJECT_NAME(self), name, text);
    GST_ELEMENT_WARNING(self, LIBRARY, SETTINGS,
                        ("%s: \"%s\" does not parse; the value stays", name, text), (nullptr));
}

void set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    GstCmatte* self = self_of(object);
    bool parsed = true;
    GST_OBJECT_LOCK(self);
    Settings& st = *self->settings;
    gstvideo::KeyerSettings& s = st.keyer;
    switch (id) {
        case PROP_KEY:
            s.key = g_value_get_enum(value);
            st.changed |= gstvideo::kKeyChanged;
            break;
        case PROP_VERSION:
            s.version = g_value_get_int(value);
            st.changed |= gstvideo::kKeyerChanged;
            break;
        case PROP_GPU_PRIORITY:
            s.gpuPriority = g_value_get_int(value);
            st.changed |= gstvideo::kKeyerChanged;
            break;
        case PROP_COFF:
            s.coff = g_value_get_float(value);
            st.changed |= gstvideo::kCoffChanged;
            break;
        case PROP_SIMILAR:
            s.similar = g_value_get_float(value);
            st.changed |= gstvideo::kKeyChanged;
            break;
        case PROP_CALIBRATE:
            st.calibrate = g_value_get_boolean(value);
            break;
        case PROP_REFINE:
            s.refine = g_value_get_boolean(value);
            st.changed |= gstvideo::kRefineChanged;
            break;
        case PROP_DETAIL_KEEP:
            s.detailKeep = g_value_get_boolean(value);
            st.changed |= gstvideo::kRefineChanged;
            break;
        case PROP_UNMIX:
            s.unmix = g_value_get_boolean(value);
            st.changed |= gstvideo::kRefineChanged;
            break;
        case PROP_SPILL:
            s.spill = g_value_get_float(value);
            st.changed |= gstvideo::kRefineChanged;
            break;
        case PROP_SPILL_RANGE:
            s.spillRange = g_value_get_int(value);
            st.changed |= gstvideo::kRefineChanged;
            break;
        case PROP_LEVELS:
            parsed = gstvideo::parse_levels(g_value_get_string(value), s.clipBlack, s.clipWhite);
            st.changed |= gstvideo::kRefineChanged;
            break;
        case PROP_GARBAGE:
        case PROP_HOLDOUT:
            parsed = gstvideo::parse_rect(g_value_get_string(value),
                                          id == PROP_GARBAGE ? s.garbage : s.holdout);
            st.changed |= gstvideo::kRefineChanged;
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    GST_OBJECT_UNLOCK(self);
    set_text(self, g_param_spec_get_name(pspec), value, parsed);
}

void get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    GstCmatte* self = self_of(object);
    GST_OBJECT_LOCK(self);
    const Settings& st = *self->settings;
    const gstvideo::KeyerSettings& s = st.keyer;
    switch (id) {
        case PROP_KEY:
            g_value_set_enum(value, s.key);
            break;
        case PROP_VERSION:
            g_value_set_int(value, s.version);
            break;
        case PROP_GPU_PRIORITY:
            g_value_set_int(value, s.gpuPriority);
            break;
        case PROP_COFF:
            g_value_set_float(value, s.coff);
            break;
        case PROP_SIMILAR:
            g_value_set_float(value, s.similar);
            break;
        case PROP_CALIBRATE:
            g_value_set_boolean(value, st.calibrate);
            break;
        case PROP_CALIBRATED_SIMILAR:
            g_value_set_float(value, st.calibratedSimilar);
            break;
        case PROP_REFINE:
            g_value_set_boolean(value, s.refine);
            break;
        case PROP_DETAIL_KEEP:
            g_value_set_boolean(value, s.detailKeep);
            break;
        case PROP_UNMIX:
            g_value_set_boolean(value, s.unmix);
            break;
        case PROP_SPILL:
            g_value_set_float(value, s.spill);
            break;
        case PROP_SPILL_RANGE:
            g_value_set_int(value, s.spillRange);
            break;
        case PROP_LEVELS:
            g_value_set_string(value, gstvideo::levels_text(s.clipBlack, s.clipWhite).c_str());
            break;
        case PROP_GARBAGE:
            g_value_set_string(value, gstvideo::rect_text(s.garbage).c_str());
            break;
        case PROP_HOLDOUT:
            g_value_set_string(value, gstvideo::rect_text(s.holdout).c_str());
            break;
        case PROP_STAGED_FRAMES:
            g_value_set_uint64(value, st.stagedFrames);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    GST_OBJECT_UNLOCK(self);
}

// The library reports a calibration through a plain function on the calling
// thread, inside the keying call; this is where it lands.
thread_local float* calibration_result = nullptr;
void on_calibrated(float similar) {
    if (calibration_result) *calibration_result = similar;
}

// Brings the keyer up to the settings; false after an element error.
bool apply(GstCmatte* self, gstvideo::Layout layout, int width, int height, bool& calibrate) {
    GST_OBJECT_LOCK(self);
    const gstvideo::KeyerSettings s = self->settings->keyer;
    const unsigned changed = self->settings->changed;
    self->settings->changed = 0;
    calibrate = self->settings->calibrate;
    GST_OBJECT_UNLOCK(self);
    Streaming& st = *self->streaming;
    if (!st.keyer || (changed & gstvideo::kKeyerChanged)) {
        if (!st.keyer || st.applied.gpuPriority != s.gpuPriority)
            st.keyer = std::make_unique<ColorMatting>(s.version, s.gpuPriority);
        else
            st.keyer->switchAlgVersion(s.version, s.gpuPriority);
        if (!st.keyer->ready) {
            GST_ELEMENT_ERROR(self, LIBRARY, INIT,
                              ("keyer version %d could not be set up", s.version),
                              ("gpu-priority %d", s.gpuPriority));
            GST_OBJECT_LOCK(self);
            self->settings->changed |= gstvideo::kKeyerChanged;
            GST_OBJECT_UNLOCK(self);
            return false;
        }
    }
    gstvideo::apply_settings(*st.keyer, s, changed);
    st.applied = s;
    if (s.version == 1 && layout == gstvideo::Layout::kI420) {
        GST_ELEMENT_ERROR(self, CORE, NEGOTIATION,
                          ("version 1 keys NV12 and YUY2 frames; use version 2 for I420"),
                          (nullptr));
        return false;
    }
    if (!s.garbage.inside(width, height) || !s.holdout.inside(width, height)) {
        GST_ELEMENT_ERROR(self, LIBRARY, SETTINGS,
                          ("garbage and holdout must lie inside the %dx%d frame", width, height),
                          ("garbage \"%s\", holdout \"%s\"", gstvideo::rect_text(s.garbage).c_str(),
                           gstvideo::rect_text(s.holdout).c_str()));
        return false;
    }
    if (calibrate && s.version != 1) {
        GST_ELEMENT_WARNING(self, LIBRARY, SETTINGS,
                            ("calibrate applies to the version-1 keyer only"), (nullptr));
        GST_OBJECT_LOCK(self);
        self->settings->calibrate = false;
        GST_OBJECT_UNLOCK(self);
        g_object_notify(G_OBJECT(self), "calibrate");
        calibrate = false;
    }
    return true;
}

void report_calibration(GstCmatte* self, float similar) {
    GST_OBJECT_LOCK(self);
    self->settings->calibrate = false;
    self->settings->calibratedSimilar = similar;
    GST_OBJECT_UNLOCK(self);
    g_object_notify(G_OBJECT(self), "calibrate");
    g_object_notify(G_OBJECT(self), "calibrated-similar");
    gst_element_post_message(
        GST_ELEMENT(self),
        gst_message_new_element(
            GST_OBJECT(self),
            gst_structure_new("cmatte-calibrated", "similar", G_TYPE_FLOAT, similar, nullptr)));
}

void key(ColorMatting& keyer, gstvideo::Layout layout, int w, int h,
         const gstvideo::PackedFrame& cam, const gstvideo::PackedFrame& bg,
         const gstvideo::PackedFrame& out) {
    switch (layout) {
        case gstvideo::Layout::kNV12:
            keyer.exec_ColorMatting_NV12(w, h, cam.plane(0), cam.plane(1), bg.plane(0), bg.plane(1),
                                         out.plane(0), out.plane(1));
            break;
        case gstvideo::Layout::kI420:
            keyer.exec_ColorMatting_I420(w, h, cam.plane(0), cam.plane(1), cam.plane(2),
                                         bg.plane(0), bg.plane(1), bg.plane(2), out.plane(0),
                                         out.plane(1), out.plane(2));
            break;
        case gstvideo::Layout::kYUY2:
            keyer.exec_ColorMatting_YUY2(w, h, cam.plane(0), bg.plane(0), out.plane(0));
            break;
    }
}

bool same_size(const GstVideoFrame* frame, const GstVideoInfo* info) {
    return GST_VIDEO_FRAME_WIDTH(frame) == GST_VIDEO_INFO_WIDTH(info) &&
           GST_VIDEO_FRAME_HEIGHT(frame) == GST_VIDEO_INFO_HEIGHT(info) &&
           GST_VIDEO_FRAME_FORMAT(frame) == GST_VIDEO_INFO_FORMAT(info);
}

GstFlowReturn aggregate_frames(GstVideoAggregator* vagg, GstBuffer* outbuf) {
    GstCmatte* self = self_of(vagg);
    const GstVideoInfo* info = &vagg->info;
    const int w = GST_VIDEO_INFO_WIDTH(info), h = GST_VIDEO_INFO_HEIGHT(info);
    gstvideo::Layout layout;
    if (!gstvideo::layout_of(GST_VIDEO_INFO_FORMAT(info), layout) || !gstvideo::size_fits(w, h)) {
        GST_ELEMENT_ERROR(self, CORE, NEGOTIATION,
                          ("cmatte takes NV12, I420 or YUY2 frames whose width is a multiple of 4 "
                           "and height a multiple of 2, not %s %dx%d",
                           gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(info)), w, h),
                          (nullptr));
        return GST_FLOW_NOT_NEGOTIATED;
    }
    GstVideoFrame* cam = gst_video_aggregator_pad_get_prepared_frame(self->camera);
    GstVideoFrame* bg = gst_video_aggregator_pad_get_prepared_frame(self->background);
    if (!cam && gst_aggregator_pad_is_eos(GST_AGGREGATOR_PAD(self->camera))) return GST_FLOW_EOS;
    for (const GstVideoFrame* frame : {cam, bg})
        if (frame && !same_size(frame, info)) {
            GST_ELEMENT_ERROR(self, CORE, NEGOTIATION,
                              ("the camera and the background must both be %s %dx%d, "
                               "not %s %dx%d",
                               gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(info)), w, h,
                               gst_video_format_to_string(GST_VIDEO_FRAME_FORMAT(frame)),
                               GST_VIDEO_FRAME_WIDTH(frame), GST_VIDEO_FRAME_HEIGHT(frame)),
                              (nullptr));
            return GST_FLOW_NOT_NEGOTIATED;
        }

    GstVideoFrame outframe;
    if (!gst_video_frame_map(&outframe, info, outbuf, GST_MAP_WRITE)) return GST_FLOW_ERROR;
    Streaming& st = *self->streaming;
    // No background yet: black. No camera frame at this time: the background alone.
    if (bg)
        st.background.bind(layout, bg, true);
    else
        st.background.bind_black(layout, w, h);
    GstFlowReturn result = GST_FLOW_OK;
    bool calibrate = false;
    if (!cam) {
        st.background.write_back(&outframe);
        if (!st.background.staged()) gst_video_frame_copy(&outframe, bg);
    } else if (!apply(self, layout, w, h, calibrate)) {
        result = GST_FLOW_ERROR;
    } else {
        st.camera.bind(layout, cam, true);
        st.out.bind(layout, &outframe, false);
        float calibrated = -1.0f;
        if (calibrate) {
            calibration_result = &calibrated;
            st.keyer->setParams_v1_Cal_Similar(on_calibrated);
        }
        key(*st.keyer, layout, w, h, st.camera, st.background, st.out);
        calibration_result = nullptr;
        st.out.write_back(&outframe);
        if (calibrated >= 0.0f) report_calibration(self, calibrated);
        if (st.camera.staged() || st.background.staged() || st.out.staged()) {
            GST_OBJECT_LOCK(self);
            ++self->settings->stagedFrames;
            GST_OBJECT_UNLOCK(self);
        }
    }
    gst_video_frame_unmap(&outframe);
    return result;
}

// The libraries take every frame as BT.709 of limited range, so the inputs'
// colorimetry and chroma siting do not matter.
void drop_colour_fields(GstCaps* caps) {
    for (guint i = 0; i < gst_caps_get_size(caps); ++i)
        gst_structure_remove_fields(gst_caps_get_structure(caps, i), "colorimetry", "chroma-site",
                                    nullptr);
}

// Once one input has its caps, the other must have the same format and
// size: the caps query and the caps check of each sink pad say so.
GstCaps* caps_of_other_input(GstCmatte* self, GstAggregatorPad* pad) {
    GstPad* other =
        GST_PAD(GST_AGGREGATOR_PAD(self->camera) == pad ? self->background : self->camera);
    GstCaps* current = gst_pad_get_current_caps(other);
    if (!current) return nullptr;
    GstCaps* same = gst_caps_copy(current);
    gst_caps_unref(current);
    drop_colour_fields(same);
    for (guint i = 0; i < gst_caps_get_size(same); ++i)
        gst_structure_remove_fields(gst_caps_get_structure(same, i), "framerate",
                                    "pixel-aspect-ratio", "interlace-mode", "multiview-mode",
                                    "multiview-flags", nullptr);
    return same;
}

gboolean accepts(GstCmatte* self, GstAggregatorPad* pad, GstCaps* caps) {
    GstCaps* templ = gst_pad_get_pad_template_caps(GST_PAD(pad));
    GstCaps* same = caps_of_other_input(self, pad);
    const bool ok = gst_caps_is_fixed(caps) && gst_caps_can_intersect(caps, templ) &&
                    (!same || gst_caps_can_intersect(caps, same));
    gst_caps_unref(templ);
    if (same) gst_caps_unref(same);
    return ok;
}

gboolean sink_query(GstAggregator* agg, GstAggregatorPad* pad, GstQuery* query) {
    GstCmatte* self = self_of(agg);
    if (GST_QUERY_TYPE(query) == GST_QUERY_ACCEPT_CAPS) {
        GstCaps* caps = nullptr;
        gst_query_parse_accept_caps(query, &caps);
        gst_query_set_accept_caps_result(query, accepts(self, pad, caps));
        return TRUE;
    }
    const gboolean handled =
        GST_AGGREGATOR_CLASS(gst_cmatte_parent_class)->sink_query(agg, pad, query);
    GstCaps* result = nullptr;
    if (GST_QUERY_TYPE(query) != GST_QUERY_CAPS || !handled) return handled;
    gst_query_parse_caps_result(query, &result);
    if (!result) return handled;
    GstCaps* open = gst_caps_copy(result);
    drop_colour_fields(open);
    if (GstCaps* same = caps_of_other_input(self, pad)) {
        GstCaps* narrowed = gst_caps_intersect(open, same);
        gst_caps_unref(open);
        gst_caps_unref(same);
        open = narrowed;
    }
    gst_query_set_caps_result(query, open);
    gst_caps_unref(open);
    return handled;
}

gboolean stop(GstAggregator* agg) {
    GstCmatte* self = self_of(agg);
    self->streaming->keyer.reset();
    GST_OBJECT_LOCK(self);
    self->settings->changed |= gstvideo::kKeyerChanged;
    GST_OBJECT_UNLOCK(self);
    return GST_AGGREGATOR_CLASS(gst_cmatte_parent_class)->stop(agg);
}

void finalize(GObject* object) {
    GstCmatte* self = self_of(object);
    delete self->settings;
    delete self->streaming;
    G_OBJECT_CLASS(gst_cmatte_parent_class)->finalize(object);
}

void install_properties(GObjectClass* object) {
    const auto add = [object](guint id, GParamSpec* spec) {
        g_object_class_install_property(object, id, spec);
    };
    add(PROP_KEY, g_param_spec_enum("key", "Key colour", "Backdrop colour to key out", key_type(),
                                    gstvideo::kGreen, gstvideo::kPlayingFlags));
    add(PROP_VERSION,
        g_param_spec_int("version", "Keyer version",
                         "1: chroma distance (NV12, YUY2), 2: L*a*b* with an automatic "
                         "threshold",
                         1, 2, 2, gstvideo::kPlayingFlags));
    add(PROP_COFF,
        g_param_spec_float("coff", "Threshold factor",
                           "Version 2: scales the automatic threshold (below 1 keys more)", 0.001f,
                           4.25f, 1.0f, gstvideo::kPlayingFlags));
    add(PROP_SIMILAR,
        g_param_spec_float("similar", "Similarity",
                           "Version 1: threshold from 0 to 1; below 0 the key colour's "
                           "own",
                           -1.0f, 1.0f, -1.0f, gstvideo::kPlayingFlags));
    add(PROP_CALIBRATE,
        g_param_spec_boolean("calibrate", "Calibrate",
                             "Version 1: calibrate the similarity on the next frame", FALSE,
                             gstvideo::kPlayingFlags));
    add(PROP_CALIBRATED_SIMILAR,
        g_param_spec_float("calibrated-similar", "Calibrated similarity",
                           "The similarity the last calibration found (-1: none yet)", -1.0f, 1.0f,
                           -1.0f, gstvideo::kReadOnlyFlags));
    add(PROP_REFINE,
        g_param_spec_boolean("refine", "Refine",
                             "Version 2: the recommended refinements (detail keep, unmix)", FALSE,
                             gstvideo::kPlayingFlags));
    add(PROP_DETAIL_KEEP,
        g_param_spec_boolean("detail-keep", "Detail keep",
                             "Version 2: keep detail close to the key colour inside the subject",
                             FALSE, gstvideo::kPlayingFlags));
    add(PROP_UNMIX, g_param_spec_boolean("unmix", "Unmix",
                                         "Version 2: remove the local backdrop colour from edges",
                                         FALSE, gstvideo::kPlayingFlags));
    add(PROP_SPILL, g_param_spec_float("spill", "Spill removal",
                                       "Version 2: edge spill removal strength, 0 off", 0.0f, 4.0f,
                                       1.0f, gstvideo::kPlayingFlags));
    add(PROP_SPILL_RANGE,
        g_param_spec_int(
            "spill-range", "Spill range",
            "Version 2: also despill opaque pixels up to this many pixels from the edge", 0, 8, 0,
            gstvideo::kPlayingFlags));
    add(PROP_LEVELS, g_param_spec_string("levels", "Matte levels",
                                         "Version 2: matte clip black and white \"LO,HI\", "
                                         "0 <= LO < HI <= 1",
                                         nullptr, gstvideo::kPlayingFlags));
    add(PROP_GARBAGE, g_param_spec_string("garbage", "Garbage matte",
                                          "Version 2: \"X,Y,W,H\"; outside it is backdrop", nullptr,
                                          gstvideo::kPlayingFlags));
    add(PROP_HOLDOUT, g_param_spec_string("holdout", "Holdout matte",
                                          "Version 2: \"X,Y,W,H\"; inside it is subject", nullptr,
                                          gstvideo::kPlayingFlags));
    add(PROP_GPU_PRIORITY, gstvideo::gpu_priority_spec());
    add(PROP_STAGED_FRAMES, gstvideo::staged_frames_spec());
}

}  // namespace

static void gst_cmatte_class_init(GstCmatteClass* klass) {
    GST_DEBUG_CATEGORY_INIT(cmatte_debug, "cmatte", 0, "chroma keying and compositing");
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = set_property;
    object->get_property = get_property;
    object->finalize = finalize;
    install_properties(object);

    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(
        element, "Chroma keyer", "Filter/Editor/Video/Compositor",
        "Keys a green or blue backdrop out of the camera on the GPU (OpenCL) and composites the "
        "subject over the background",
        "PezaStudio");
    GstCaps* caps = gst_caps_from_string(gstvideo::kFrameCaps);
    gst_element_class_add_pad_template(
        element, gst_pad_template_new_with_gtype("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps,
                                                 GST_TYPE_AGGREGATOR_PAD));
    for (const char* name : {"sink", "background"})
        gst_element_class_add_pad_template(
            element, gst_pad_template_new_with_gtype(name, GST_PAD_SINK, GST_PAD_ALWAYS, caps,
                                                     GST_TYPE_VIDEO_AGGREGATOR_PAD));
    gst_caps_unref(caps);

    GST_AGGREGATOR_CLASS(klass)->stop = stop;
    GST_AGGREGATOR_CLASS(klass)->sink_query = sink_query;
    GST_VIDEO_AGGREGATOR_CLASS(klass)->aggregate_frames = aggregate_frames;
}

static void gst_cmatte_init(GstCmatte* self) {
    self->settings = new Settings;
    self->streaming = new Streaming;
    // Two always sink pads; a background that ends keeps its last frame.
    GstElementClass* klass = GST_ELEMENT_GET_CLASS(self);
    GstVideoAggregatorPad** pads[] = {&self->camera, &self->background};
    const char* names[] = {"sink", "background"};
    for (int i = 0; i < 2; ++i) {
        GstPadTemplate* templ = gst_element_class_get_pad_template(klass, names[i]);
        *pads[i] = GST_VIDEO_AGGREGATOR_PAD(g_object_new(GST_TYPE_VIDEO_AGGREGATOR_PAD, "name",
                                                         names[i], "direction", GST_PAD_SINK,
                                                         "template", templ, nullptr));
        gst_element_add_pad(GST_ELEMENT(self), GST_PAD(*pads[i]));
    }
    g_object_set(self->background, "repeat-after-eos", TRUE, nullptr);
}
