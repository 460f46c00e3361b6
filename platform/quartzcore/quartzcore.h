// QuartzCore as the video plug-ins use it: layers, screen display links and the media clock.
#pragma once

#include "platform/quartzcore/ca_display_link.h"
#include "platform/quartzcore/ca_layer.h"
#include "platform/quartzcore/ca_media_timing.h"
