#include "lutgrade_element.h"

#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>

#include <memory>
#include <string>

#include "element_common.h"
#include "lutgrade/Lut3D.h"
#include "packed_frame.h"

GST_DEBUG_CATEGORY_STATIC(lutgrade_debug);
#define GST_CAT_DEFAULT lutgrade_debug

namespace {

constexpr int kDefaultLutSize = 33;

// What the properties ask for; guarded by the object lock.
struct Settings {
    std::string location, hsv;
    int lutSize = kDefaultLutSize;
    float strength = 1.0f;
    int gpuPriority = 0;
    unsigned tableGeneration = 0;  // counts changes of location, hsv and lut-size
};

// What the streaming thread has applied.
struct Applied {
    std::unique_ptr<Lut3D> lut;
    int gpuPriority = 0;
    unsigned tableGeneration = 0;
    float strength = 1.0f;
    bool hasTable = false;
};

}  // namespace

struct GstLutgrade {
    GstVideoFilter parent;
    Settings* settings;
    Applied* applied;
    gstvideo::Layout layout;
    gstvideo::PackedFrame* planes;
    guint64 stagedFrames;  // object lock
};

struct GstLutgradeClass {
    GstVideoFilterClass parent_class;
};

G_DEFINE_TYPE(GstLutgrade, gst_lutgrade, GST_TYPE_VIDEO_FILTER)

namespace {

enum {
    PROP_0,
    PROP_LOCATION,
    PROP_HSV,
    PROP_LUT_SIZE,
    PROP_STRENGTH,
    PROP_GPU_PRIORITY,
    PROP_STAGED_FRAMES
};

GstLutgrade* self_of(gpointer object) { return reinterpret_cast<GstLutgrade*>(object); }

// Frames pass untouched while no table is asked for.
void update_passthrough(GstLutgrade* self) {
    GST_OBJECT_LOCK(self);
    const bool none = self->settings->location.empty() && self->settings->hsv.empty();
    GST_OBJECT_UNLOCK(self);
    gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), none);
}

void set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    GstLutgrade* self = self_of(object);
    GST_OBJECT_LOCK(self);
    Settings& s = *self->settings;
    switch (id) {
        case PROP_LOCATION:
        case PROP_HSV: {
            const char* text = g_value_get_string(value);
            (id == PROP_LOCATION ? s.location : s.hsv) = text ? text : "";
            ++s.tableGeneration;
            break;
        }
        case PROP_LUT_SIZE:
            s.lutSize = g_value_get_int(value);
            ++s.tableGeneration;
            break;
        case PROP_STRENGTH:
            s.strength = g_value_get_float(value);
            break;
        case PROP_GPU_PRIORITY:
            s.gpuPriority = g_value_get_int(value);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    GST_OBJECT_UNLOCK(self);
    if (id == PROP_LOCATION || id == PROP_HSV) update_passthrough(self);
}

void get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    GstLutgrade* self = self_of(object);
    GST_OBJECT_LOCK(self);
    const Settings& s = *self->settings;
    switch (id) {
        case PROP_LOCATION:
            g_value_set_string(value, s.location.empty() ? nullptr : s.location.c_str());
            break;
        case PROP_HSV:
            g_value_set_string(value, s.hsv.empty() ? nullptr : s.hsv.c_str());
            break;
        case PROP_LUT_SIZE:
            g_value_set_int(value, s.lutSize);
            break;
        case PROP_STRENGTH:
            g_value_set_float(value, s.strength);
            break;
        case PROP_GPU_PRIORITY:
            g_value_set_int(value, s.gpuPriority);
            break;
        case PROP_STAGED_FRAMES:
            g_value_set_uint64(value, self->stagedFrames);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    GST_OBJECT_UNLOCK(self);
}

// Brings the library object up to the settings: a new object for another
// GPU preference, the table when it changed, then the strength. false, after
// an element error naming the file and the library's status, when the
// table cannot be loaded.
bool apply_settings(GstLutgrade* self) {
    GST_OBJECT_LOCK(self);
    const Settings s = *self->settings;
    GST_OBJECT_UNLOCK(self);
    Applied& a = *self->applied;
    if (!a.lut || a.gpuPriority != s.gpuPriority) {
        a.lut = std::make_unique<Lut3D>(s.gpuPriority);
        a.gpuPriority = s.gpuPriority;
        a.strength = 1.0f;
        a.hasTable = false;
        a.tableGeneration = s.tableGeneration - 1;  // load again
    }
    if (a.strength != s.strength) {
        a.lut->set_strength(s.strength);
        a.strength = s.strength;
    }
    if (a.tableGeneration == s.tableGeneration) return true;
    a.tableGeneration = s.tableGeneration;
    if (s.location.empty() && s.hsv.empty()) {
        a.hasTable = false;
        return true;
    }
    const bool fromFile = !s.location.empty();
    const int status = fromFile ? a.lut->load_filter_of_cube_3dl_file(s.location.c_str(), s.lutSize)
                                : a.lut->load_filter_from_HSV_file(s.hsv.c_str());
    if (status != 0) {
        a.hasTable = false;
        a.tableGeneration = s.tableGeneration - 1;  // a later frame tries again
        GST_ELEMENT_ERROR(
            self, RESOURCE, OPEN_READ,
            ("cannot load the table %s: the library returned %d (its reason is on standard "
             "output)",
             fromFile ? s.location.c_str() : s.hsv.c_str(), status),
            ("%s %s, lut-size %d", fromFile ? "location" : "hsv",
             fromFile ? s.location.c_str() : s.hsv.c_str(), s.lutSize));
        return false;
    }
    a.hasTable = true;
    return true;
}

gboolean start(GstBaseTransform* trans) {
    GstLutgrade* self = self_of(trans);
    GST_OBJECT_LOCK(self);
    const bool wanted = !self->settings->location.empty() || !self->settings->hsv.empty();
    GST_OBJECT_UNLOCK(self);
    // A table that cannot be loaded stops the pipeline before the first frame.
    return !wanted || apply_settings(self);
}

gboolean stop(GstBaseTransform* trans) {
    GstLutgrade* self = self_of(trans);
    *self->applied = Applied{};
    return TRUE;
}

gboolean set_info(GstVideoFilter* filter, GstCaps*, GstVideoInfo* in_info, GstCaps*,
                  GstVideoInfo*) {
    GstLutgrade* self = self_of(filter);
    const int w = GST_VIDEO_INFO_WIDTH(in_info), h = GST_VIDEO_INFO_HEIGHT(in_info);
    if (!gstvideo::layout_of(GST_VIDEO_INFO_FORMAT(in_info), self->layout) ||
        !gstvideo::size_fits(w, h)) {
        GST_ELEMENT_ERROR(
            self, CORE, NEGOTIATION,
            ("lutgrade takes NV12, I420 or YUY2 frames whose width is a multiple of 4 "
             "and height a multiple of 2, not %s %dx%d",
             gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(in_info)), w, h),
            (nullptr));
        return FALSE;
    }
    return TRUE;
}

// Grades in place, as lutgrade-cli does: a writable buffer is graded where
// it lies, another one is copied first by the base class.
GstFlowReturn transform_frame_ip(GstVideoFilter* filter, GstVideoFrame* frame) {
    GstLutgrade* self = self_of(filter);
    if (!apply_settings(self)) return GST_FLOW_ERROR;
    // The table was taken away while this frame was on its way: it stays as it came.
    if (!self->applied->hasTable) return GST_FLOW_OK;

    gstvideo::PackedFrame& planes = *self->planes;
    planes.bind(self->layout, frame, true);
    const int w = GST_VIDEO_FRAME_WIDTH(frame), h = GST_VIDEO_FRAME_HEIGHT(frame);
    Lut3D& lut = *self->applied->lut;
    unsigned char* const* p = planes.planes();
    switch (self->layout) {
        case gstvideo::Layout::kNV12:
            lut.exec_3DLut_NV12(w, h, p[0], p[1], p[0], p[1]);
            break;
        case gstvideo::Layout::kI420:
            lut.exec_3DLut_I420(w, h, p[0], p[1], p[2], p[0], p[1], p[2]);
            break;
        case gstvideo::Layout::kYUY2:
            lut.exec_3DLut_YUY2(w, h, p[0], p[0]);
            break;
    }
    planes.write_back(frame);
    if (planes.staged()) {
        GST_OBJECT_LOCK(self);
        ++self->stagedFrames;
        GST_OBJECT_UNLOCK(self);
    }
    return GST_FLOW_OK;
}

void finalize(GObject* object) {
    GstLutgrade* self = self_of(object);
    delete self->settings;
    delete self->applied;
    delete self->planes;
    G_OBJECT_CLASS(gst_lutgrade_parent_class)->finalize(object);
}

}  // namespace

static void gst_lutgrade_class_init(GstLutgradeClass* klass) {
    GST_DEBUG_CATEGORY_INIT(lutgrade_debug, "lutgrade", 0, "3D colour table grading");
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = set_property;
    object->get_property = get_property;
    object->finalize = finalize;

    g_object_class_install_property(
        object, PROP_LOCATION,
        g_param_spec_string("location", "Table file",
                            "Colour table file: .cube, .3dl, .csp, .spi3d, .spi1d or .itx", nullptr,
                            gstvideo::kPlayingFlags));
    g_object_class_install_property(
        object, PROP_HSV,
        g_param_spec_string(
            "hsv", "Adjustment list",
            "File of colour adjustments, one per line (used when no location is set)", nullptr,
            gstvideo::kPlayingFlags));
    g_object_class_install_property(
        object, PROP_LUT_SIZE,
        g_param_spec_int("lut-size", "Table size", "Points per axis the table file is resampled to",
                         2, 256, kDefaultLutSize, gstvideo::kPlayingFlags));
    g_object_class_install_property(
        object, PROP_STRENGTH,
        g_param_spec_float("strength", "Strength", "How much of the table applies: 0 none, 1 all",
                           0.0f, 1.0f, 1.0f, gstvideo::kPlayingFlags));
    g_object_class_install_property(object, PROP_GPU_PRIORITY, gstvideo::gpu_priority_spec());
    g_object_class_install_property(object, PROP_STAGED_FRAMES, gstvideo::staged_frames_spec());

    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(
        element, "3D colour table grading", "Filter/Effect/Video",
        "Grades video through a 3D colour table on the GPU (OpenCL)", "PezaStudio");
    for (GstPadDirection direction : {GST_PAD_SINK, GST_PAD_SRC}) {
        GstCaps* caps = gst_caps_from_string(gstvideo::kFrameCaps);
        gst_element_class_add_pad_template(
            element, gst_pad_template_new(direction == GST_PAD_SINK ? "sink" : "src", direction,
                                          GST_PAD_ALWAYS, caps));
        gst_caps_unref(caps);
    }

    GstBaseTransformClass* trans = GST_BASE_TRANSFORM_CLASS(klass);
    trans->start = start;
    trans->stop = stop;
    trans->passthrough_on_same_caps = FALSE;
    GstVideoFilterClass* filter = GST_VIDEO_FILTER_CLASS(klass);
    filter->set_info = set_info;
    filter->transform_frame_ip = transform_frame_ip;
}

static void gst_lutgrade_init(GstLutgrade* self) {
    self->settings = new Settings;
    self->applied = new Applied;
    self->planes = new gstvideo::PackedFrame;
    self->layout = gstvideo::Layout::kNV12;
    self->stagedFrames = 0;
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
    gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), TRUE);
}
