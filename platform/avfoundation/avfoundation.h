// AVFoundation and CoreMedia as the media plug-ins use them.
#pragma once

#include "platform/avfoundation/av_metadata_item.h"
#include "platform/avfoundation/av_player.h"
#include "platform/avfoundation/av_player_item.h"
#include "platform/avfoundation/av_player_item_metadata_output.h"
#include "platform/avfoundation/av_player_item_notifications.h"
#include "platform/avfoundation/av_queue_player.h"
#include "platform/avfoundation/av_url_asset.h"
#include "platform/avfoundation/cm_time.h"
#include "platform/avfoundation/cm_time_range.h"
#include "platform/avfoundation/cv_pixel_buffer.h"
