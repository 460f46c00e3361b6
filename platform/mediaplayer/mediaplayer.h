// The MediaPlayer stand-in: the now-playing display and the remote commands.
#pragma once

#include "platform/mediaplayer/mp_media_item_artwork.h"
#include "platform/mediaplayer/mp_media_item_property.h"
#include "platform/mediaplayer/mp_now_playing_info_center.h"
#include "platform/mediaplayer/mp_now_playing_info_value.h"
#include "platform/mediaplayer/mp_remote_command.h"
#include "platform/mediaplayer/mp_remote_command_center.h"
#include "platform/mediaplayer/mp_remote_command_event.h"
#include "platform/mediaplayer/ns_image.h"
