// The AppKit stand-in: the application, windows and panels, screens, views and view controllers,
// events, colours, appearances, images, the Dock tile, open and save panels, the sharing picker
// and the workspace.
#pragma once

#include "platform/appkit/ns_appearance.h"
#include "platform/appkit/ns_application.h"
#include "platform/appkit/ns_application_delegate.h"
#include "platform/appkit/ns_button.h"
#include "platform/appkit/ns_color.h"
#include "platform/appkit/ns_dock_tile.h"
#include "platform/appkit/ns_event.h"
#include "platform/appkit/ns_image.h"
#include "platform/appkit/ns_image_view.h"
#include "platform/appkit/ns_open_panel.h"
#include "platform/appkit/ns_panel.h"
#include "platform/appkit/ns_progress_indicator.h"
#include "platform/appkit/ns_save_panel.h"
#include "platform/appkit/ns_screen.h"
#include "platform/appkit/ns_sharing_service.h"
#include "platform/appkit/ns_sharing_service_picker.h"
#include "platform/appkit/ns_view.h"
#include "platform/appkit/ns_view_controller.h"
#include "platform/appkit/ns_window.h"
#include "platform/appkit/ns_window_delegate.h"
#include "platform/appkit/ns_workspace.h"
