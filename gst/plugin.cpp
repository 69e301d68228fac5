// The GStreamer plugin of the two GPU libraries: the elements "lutgrade"
// and "cmatte".
#include <gst/gst.h>

#include "cmatte_element.h"
#include "lutgrade_element.h"

namespace {

gboolean plugin_init(GstPlugin* plugin) {
    return gst_element_register(plugin, "lutgrade", GST_RANK_NONE, GST_TYPE_LUTGRADE) &&
           gst_element_register(plugin, "cmatte", GST_RANK_NONE, GST_TYPE_CMATTE);
}

}  // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, pezavideo,
                  "Colour grading and chroma keying on the GPU (OpenCL)", plugin_init,
                  PEZAVIDEO_VERSION, "Proprietary", "PezaStudio", "https://pezastudio.invalid/")
