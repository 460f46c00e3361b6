// The AppKit stand-in: application, windows, views and view controllers.
#pragma once

#include "platform/appkit/ns_application.h"
#include "platform/appkit/ns_application_delegate.h"
#include "platform/appkit/ns_view.h"
#include "platform/appkit/ns_view_controller.h"
#include "platform/appkit/ns_window.h"
