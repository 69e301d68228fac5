// The "lutgrade" element: grades NV12, I420 and YUY2 frames through a 3D
// colour table with the lutgrade library.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

GType gst_lutgrade_get_type(void);
#define GST_TYPE_LUTGRADE (gst_lutgrade_get_type())

G_END_DECLS
