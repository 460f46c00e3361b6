// The Flutter engine stand-in, as plug-ins and the host use it.
#pragma once

#include "platform/flutter/flutter_app_delegate.h"
#include "platform/flutter/flutter_basic_message_channel.h"
#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_codec.h"
#include "platform/flutter/flutter_event_channel.h"
#include "platform/flutter/flutter_message_envelope.h"
#include "platform/flutter/flutter_method_channel.h"
#include "platform/flutter/flutter_platform_view.h"
#include "platform/flutter/flutter_plugin.h"
#include "platform/flutter/flutter_result.h"
#include "platform/flutter/flutter_standard_codec.h"
#include "platform/flutter/flutter_texture.h"
#include "platform/flutter/flutter_view_controller.h"
#include "platform/flutter/value.h"
