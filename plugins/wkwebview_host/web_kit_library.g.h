// The channel layer of the web-view APIs: the registrar, the instance manager, the codecs, the
// envelope and the API of every wrapped class.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_arguments.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_dart_reply.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_error.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_host_operation.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_instance_manager.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_instance_manager_api.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_internal_proxy_api_codec_reader_writer.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_delegate.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"
#include "plugins/wkwebview_host/web_kit_library/web_kit_library_pigeon_codec.h"
