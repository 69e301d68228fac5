// The "cmatte" element: keys a green or blue backdrop out of the camera
// frames on its "sink" pad and composites the subject over the frames on its
// "background" pad, with the cmatte library.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

GType gst_cmatte_get_type(void);
#define GST_TYPE_CMATTE (gst_cmatte_get_type())

G_END_DECLS
